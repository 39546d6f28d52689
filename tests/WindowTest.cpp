// The window, driven as a user would: drops of file URLs, right clicks, Esc and
// close requests, through real Qt events on the offscreen platform.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <thread>
#include <mutex>

#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "app/Settings.h"
#include "convert/Dispatch.h"
#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Drops the given paths (and any extra URLs) on the window; true if accepted.
bool Drop(QWidget& window, const std::vector<std::string>& paths, const QList<QUrl>& extra = {})
{
    auto* mime = new QMimeData;
    QList<QUrl> urls = extra;
    for (const auto& p : paths) urls.push_back(QUrl::fromLocalFile(Q(p)));
    mime->setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
    const bool accepted = drop.isAccepted() && enter.isAccepted();
    delete mime;
    return accepted;
}

Bytes OnePixelTwoFrameGif()
{
    return BuildGif({.ScreenWidth = 1, .ScreenHeight = 1, .Palette = FourColours(), .Frames = {SolidGifFrame(0, 0, 1, 1, 1), SolidGifFrame(0, 0, 1, 1, 2)}});
}

TEST(WindowTest, LooksRightAtStart)
{
    TempDir dir;
    MainWindow window(Q(dir / "framelot.ini"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Framelot"));
    EXPECT_EQ(window.ResultLabelText(), QStringLiteral("Drop file here."));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());  // fixed size
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_EQ(window.FolderAction()->text(), QStringLiteral("フォルダを作る"));
    EXPECT_EQ(SettingsPathFor(QStringLiteral("/opt/app/framelot")), QStringLiteral("/opt/app/framelot.ini"));
    EXPECT_EQ(SettingsPathFor(QStringLiteral("/opt/app/framelot.bin")), QStringLiteral("/opt/app/framelot.ini"));
}

TEST(WindowTest, DropConvertsInOrderAndCountsOnlyConvertedFiles)
{
    TempDir dir;
    for (const char* name : {"ANIM.GIF", "anim2.Gif", "done.gif", "anim.gif.txt", "anim", "anim.gi f"}) {
        WriteFile(dir / name, OnePixelTwoFrameGif());
    }
    WriteFile(dir / "still.png", BuildPlainPng(1, 1, SolidRgba(1, 1, 0, 0, 0, 255)));
    fs::create_directory(dir / "done");  // its output is already there

    std::vector<std::string> order;
    MainWindow window(Q(dir / "framelot.ini"), {.Convert = [&](const std::string& path, bool makeFolder, const ProgressFunction&) {
        order.push_back(fs::path(path).filename().string());
        return ConvertDroppedFile(path, {.MakeFolder = makeFolder});
    }});
    QSignalSpy finished(&window, &MainWindow::DropFinished);
    const std::vector<std::string> files = {dir / "ANIM.GIF", dir / "anim.gif.txt", dir / "done.gif", dir / "anim",
                                            dir / "still.png", dir / "anim.gi f", dir / "anim2.Gif"};
    ASSERT_TRUE(Drop(window, files));
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(window.ResultLabelText(), QStringLiteral("2 file complete!"));
    EXPECT_EQ(order, (std::vector<std::string>{"ANIM.GIF", "anim.gif.txt", "done.gif", "anim", "still.png", "anim.gi f",
                                               "anim2.Gif"}));
    EXPECT_TRUE(fs::exists(dir / "ANIM/ANIM_0001.png"));
    if (const QByteArray shot = qgetenv("FRAMELOT_SCREENSHOT"); !shot.isEmpty()) {
        window.show();
        window.grab().save(QString::fromLocal8Bit(shot));  // how the window looks after a drop
    }
    EXPECT_TRUE(fs::exists(dir / "anim2/anim2_0000.png"));

    // A second drop of the same files converts nothing: "0 file complete!".
    ASSERT_TRUE(Drop(window, {dir / "ANIM.GIF"}));
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(window.ResultLabelText(), QStringLiteral("0 file complete!"));
    QTRY_VERIFY(!window.IsProcessing());
}

TEST(WindowTest, DropWithoutLocalFilesIsNotAccepted)
{
    TempDir dir;
    MainWindow window(Q(dir / "framelot.ini"));
    EXPECT_FALSE(Drop(window, {}, {QUrl(QStringLiteral("https://example.invalid/a.gif"))}));
    EXPECT_FALSE(window.IsProcessing());
    EXPECT_EQ(window.ResultLabelText(), QStringLiteral("Drop file here."));
}

TEST(WindowTest, SettingIsReadAsOnOnlyForOnInAnyCase)
{
    TempDir dir;
    const QString path = Q(dir / "framelot.ini");
    {
        MainWindow window(path);  // no file: the default is on
        EXPECT_TRUE(window.MakeFolder());
        EXPECT_TRUE(window.FolderAction()->isChecked());
    }
    const std::pair<const char*, bool> values[] = {{"on", true}, {"On", true}, {"ON", true}, {"OFF", false},
                                                   {"off", false}, {"yes", false}, {"1", false}, {"", false}};
    for (auto [value, on] : values) {
        WriteFile(dir / "framelot.ini", {});
        {
            QSettings s(path, QSettings::IniFormat);
            s.setValue(QStringLiteral("SystemSetting/folder"), QString::fromUtf8(value));
        }
        MainWindow window(path);
        EXPECT_EQ(window.MakeFolder(), on) << value;
        EXPECT_EQ(window.FolderAction()->isChecked(), on) << value;
    }
}

TEST(WindowTest, RightClickMenuFlipsTheSwitchAndOnlyCloseWritesIt)
{
    TempDir dir;
    const QString path = Q(dir / "framelot.ini");
    MainWindow window(path);
    window.show();
    const QPoint at(12, 30);
    QTest::mouseClick(&window, Qt::RightButton, Qt::NoModifier, at);
    ASSERT_TRUE(window.Popup()->isVisible());
    if (const QByteArray shot = qgetenv("FRAMELOT_MENU_SCREENSHOT"); !shot.isEmpty()) {
        window.Popup()->grab().save(QString::fromLocal8Bit(shot));  // the caption must render, not boxes
    }
    EXPECT_EQ(window.Popup()->pos(), window.mapToGlobal(at));
    window.FolderAction()->trigger();
    EXPECT_FALSE(window.MakeFolder());
    EXPECT_FALSE(window.FolderAction()->isChecked());
    window.FolderAction()->trigger();
    EXPECT_TRUE(window.MakeFolder());
    window.FolderAction()->trigger();
    EXPECT_FALSE(fs::exists(dir / "framelot.ini"));  // nothing written before close

    QTest::keyClick(&window, Qt::Key_Escape);  // idle: closes and writes the setting
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(ReadMakeFolder(path));
    EXPECT_EQ(QSettings(path, QSettings::IniFormat).value(QStringLiteral("SystemSetting/folder")).toString(),
              QStringLiteral("OFF"));
}

// A dropped folder stands for the animations directly inside it, in name
// order and in the drop's place; "Open files..." converts the dialog's choice
// as a drop; "Show frames" appears after a conversion and opens the folder of
// the last converted file's frames, wherever the switch put them.
TEST(WindowTest, FolderDropOpenFilesAndShowFrames)
{
    TempDir dir;
    fs::create_directories(dir / "anims/sub");
    for (const char* name : {"anims/b.gif", "anims/a.gif", "anims/sub/c.gif", "z.gif"}) {
        WriteFile(dir / name, OnePixelTwoFrameGif());
    }
    WriteFile(dir / "anims/notes.txt", {'x'});
    WriteFile(dir / "anims/still.png", BuildPlainPng(1, 1, SolidRgba(1, 1, 0, 0, 0, 255)));

    std::vector<std::string> order, shown;
    std::vector<std::vector<std::string>> choices = {{}, {dir / "anims/sub/c.gif"}};
    MainWindow window(Q(dir / "framelot.ini"),
                      {.Convert = [&](const std::string& path, bool makeFolder, const ProgressFunction&) {
                           order.push_back(fs::relative(path, dir.Path).generic_string());
                           return ConvertDroppedFile(path, {.MakeFolder = makeFolder});
                       },
                       .ChooseFiles = [&](QWidget*) { auto c = choices.front(); choices.erase(choices.begin()); return c; },
                       .ShowFolder = [&](const std::string& folder) { shown.push_back(folder); return true; }});
    const QList<QAction*> items = window.Popup()->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[1], window.OpenFilesAction());
    EXPECT_EQ(items[1]->text(), QStringLiteral("Open files..."));
    EXPECT_EQ(items[2]->text(), QStringLiteral("Show frames"));
    EXPECT_FALSE(window.ShowFramesAction()->isVisible());

    QSignalSpy finished(&window, &MainWindow::DropFinished);
    ASSERT_TRUE(Drop(window, {dir / "anims", dir / "z.gif"}));
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(order, (std::vector<std::string>{"anims/a.gif", "anims/b.gif", "anims/still.png", "z.gif"}));
    EXPECT_EQ(window.ResultLabelText(), QStringLiteral("3 file complete!"));
    EXPECT_FALSE(fs::exists(dir / "anims/sub/c"));  // not gone into
    ASSERT_TRUE(window.ShowFramesAction()->isVisible());
    window.ShowFramesAction()->trigger();
    EXPECT_EQ(shown, std::vector<std::string>{dir / "z"});

    QTRY_VERIFY(!window.IsProcessing());
    window.OpenFilesAction()->trigger();  // the dialog is cancelled: nothing happens
    EXPECT_FALSE(window.IsProcessing());
    window.FolderAction()->trigger();  // frames beside the source from now on
    window.OpenFilesAction()->trigger();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(order.back(), "anims/sub/c.gif");
    EXPECT_EQ(window.ResultLabelText(), QStringLiteral("1 file complete!"));
    EXPECT_TRUE(fs::exists(dir / "anims/sub/c_0001.png"));
    window.ShowFramesAction()->trigger();
    EXPECT_EQ(shown.back(), dir / "anims/sub");

    // A drop that converts nothing leaves the last folder to show.
    ASSERT_TRUE(Drop(window, {dir / "anims/notes.txt"}));
    ASSERT_TRUE(finished.wait(10000));
    window.ShowFramesAction()->trigger();
    EXPECT_EQ(shown.back(), dir / "anims/sub");
    QTRY_VERIFY(!window.IsProcessing());

    // A folder with no animations is a drop like any other: "0 file complete!"
    // and why, and the window takes the next drop.
    fs::create_directories(dir / "empty");
    WriteFile(dir / "empty/readme.txt", {'x'});
    ASSERT_TRUE(Drop(window, {dir / "empty"}));
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(window.ResultLabelText(), QStringLiteral("0 file complete!"));
    EXPECT_EQ(window.ResultToolTip(), Q("no animations in " + dir / "empty"));
    QTRY_VERIFY(!window.IsProcessing());

    // A frames folder that is gone is said, never handed to the desktop.
    fs::remove_all(dir / "anims/sub");
    const std::size_t before = shown.size();
    window.ShowFramesAction()->trigger();
    EXPECT_EQ(shown.size(), before);
    EXPECT_TRUE(window.ResultToolTip().startsWith(QStringLiteral("the frames folder is gone: "))) << window.ResultToolTip().toStdString();
}

// A converter that holds each file until the test lets it go.
struct Gate {
    std::mutex Mutex;
    std::condition_variable Changed;
    int Started = 0, Released = 0;
    ConvertResult Convert()
    {
        std::unique_lock lock(Mutex);
        const int me = ++Started;
        Changed.notify_all();
        Changed.wait(lock, [&] { return Released >= me; });
        return {ConvertStatus::Converted, {}, 1, 0, {}};
    }
    void WaitStarted(int n)
    {
        std::unique_lock lock(Mutex);
        Changed.wait(lock, [&] { return Started >= n; });
    }
    void Release()
    {
        std::lock_guard lock(Mutex);
        ++Released;
        Changed.notify_all();
    }
};

TEST(WindowTest, CloseDuringADropAsksAndAbortsAfterTheCurrentFile)
{
    TempDir dir;
    const QString path = Q(dir / "framelot.ini");
    Gate gate;
    bool answer = false;
    int asked = 0;
    MainWindow window(path, {.Convert = [&](const std::string&, bool, const ProgressFunction&) { return gate.Convert(); },
                             .AskForceExit = [&](QWidget*) { ++asked; return answer; }});
    window.show();
    ASSERT_TRUE(Drop(window, {dir / "1.gif", dir / "2.gif", dir / "3.gif"}));
    gate.WaitStarted(1);
    EXPECT_TRUE(window.IsProcessing());

    window.close();  // answered No: nothing changes
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.AbortRequested());

    answer = true;
    QTest::keyClick(&window, Qt::Key_Escape);  // answered Yes: abort pending
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(window.AbortRequested());
    EXPECT_TRUE(window.isVisible());  // the file being converted finishes first
    gate.Release();
    QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 10000);
    EXPECT_EQ(gate.Started, 1);  // no further file of the drop was started
    EXPECT_EQ(window.ResultLabelText(), QStringLiteral("Drop file here."));
    EXPECT_TRUE(fs::exists(dir / "framelot.ini"));
}

// A fake file of 500 frames that reports each one, slowly: the bar moves
// through the drop and ends at its maximum.
TEST(WindowTest, ProgressBarMovesWithTheFramesAndEndsFull)
{
    TempDir dir;
    constexpr std::uint64_t Frames = 500;
    MainWindow window(Q(dir / "framelot.ini"), {.Convert = [](const std::string&, bool, const ProgressFunction& progress) {
        for (std::uint64_t done = 1; done <= Frames; ++done) {
            if (done % 50 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            progress(done, Frames);
        }
        ConvertResult r = Converted();
        r.FramesWritten = Frames;
        return r;
    }});
    std::vector<int> values;
    QObject::connect(window.ProgressBar(), &QProgressBar::valueChanged, [&](int v) { values.push_back(v); });
    QSignalSpy finished(&window, &MainWindow::DropFinished);
    WriteFile(dir / "a.gif", {1});
    WriteFile(dir / "b.gif", {1});
    ASSERT_TRUE(Drop(window, {dir / "a.gif", dir / "b.gif"}));
    ASSERT_TRUE(finished.wait(10000));
    const QProgressBar* bar = window.ProgressBar();
    EXPECT_EQ(bar->value(), bar->maximum());
    ASSERT_GT(values.size(), 10u) << "the bar should move within each file";
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_TRUE(std::any_of(values.begin(), values.end(), [&](int v) { return v > 0 && v < bar->maximum() / 2; }));
    QTRY_VERIFY(!window.IsProcessing());
}

// "0 file complete!" and why: the label's tooltip names each file of the drop
// with what happened to it.
TEST(WindowTest, TooltipSaysWhatHappenedToEachFileOfTheDrop)
{
    TempDir dir;
    WriteFile(dir / "anim.gif", OnePixelTwoFrameGif());
    WriteFile(dir / "old.gif", OnePixelTwoFrameGif());
    fs::create_directory(dir / "old");
    WriteFile(dir / "still.png", BuildPlainPng(1, 1, SolidRgba(1, 1, 0, 0, 0, 255)));
    WriteFile(dir / "blocked.gif", OnePixelTwoFrameGif());
    WriteFile(dir / "blocked", {1});  // a file where the frames' folder should go
    MainWindow window(Q(dir / "framelot.ini"));
    QSignalSpy finished(&window, &MainWindow::DropFinished);
    ASSERT_TRUE(Drop(window, {dir / "anim.gif", dir / "old.gif", dir / "still.png", dir / "blocked.gif"}));
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(window.ResultLabelText(), QStringLiteral("1 file complete!"));
    EXPECT_EQ(window.ResultToolTip().toStdString(),
              "anim.gif: 2 frames written to anim\n"
              "old.gif: skipped, output already exists: old\n"
              "still.png: not converted, not an animated PNG\n"
              "blocked.gif: failed: cannot create folder: a file of that name is in the way");

    // A long drop lists twenty files and says how many more: twenty fit
    // exactly, the twenty-first is "1 more".
    for (const int count : {20, 21, 23}) {
        std::vector<std::string> many;
        for (int i = 0; i < count; ++i) many.push_back(dir / ("missing" + std::to_string(i) + ".gif"));
        finished.clear();
        ASSERT_TRUE(Drop(window, many));
        ASSERT_TRUE(finished.wait(10000));
        const QStringList lines = window.ResultToolTip().split(QLatin1Char('\n'));
        ASSERT_EQ(lines.size(), count == 20 ? 20 : 21) << count;
        EXPECT_TRUE(lines[0].startsWith(QStringLiteral("missing0.gif: cannot read the file: cannot open: ")));
        EXPECT_TRUE(lines[19].startsWith(QStringLiteral("missing19.gif: "))) << count;
        if (count > 20) {
            EXPECT_EQ(lines[20], QStringLiteral("... and %1 more").arg(count - 20)) << count;
        }
        QTRY_VERIFY(!window.IsProcessing());
    }
    QTRY_VERIFY(!window.IsProcessing());
}

TEST(WindowTest, CommandLineOptionsAndFilesAreReadAsTheyShouldBe)
{
    using Action = WindowArguments::Action;
    EXPECT_EQ(ParseWindowArguments({"--help"}).Do, Action::Help);
    EXPECT_EQ(ParseWindowArguments({"a.gif", "-h"}).Do, Action::Help);
    EXPECT_EQ(ParseWindowArguments({"--version"}).Do, Action::Version);
    const WindowArguments bad = ParseWindowArguments({"--fast"});
    EXPECT_EQ(bad.Do, Action::Error);
    EXPECT_EQ(bad.Error, "unknown option --fast");
    const WindowArguments files = ParseWindowArguments({"a.gif", "-", "--", "--help", "-b.webp"});
    EXPECT_EQ(files.Do, Action::Open);
    EXPECT_EQ(files.Files, (std::vector<std::string>{"a.gif", "-", "--help", "-b.webp"}));
}

// What the desktop entry's %F and "Open With" hand over: converted as one drop
// right after the window opens, counted as a drop counts them.
TEST(WindowTest, FilesNamedOnTheCommandLineAreConvertedAsADrop)
{
    TempDir dir;
    WriteFile(dir / "one.gif", OnePixelTwoFrameGif());
    WriteFile(dir / "still.png", BuildPlainPng(1, 1, SolidRgba(1, 1, 0, 0, 0, 255)));
    const std::string oneGif = dir / "one.gif", stillPng = dir / "still.png", missing = dir / "missing.gif";
    const WindowArguments parsed = ParseWindowArguments({oneGif, stillPng, missing, "--", dir / "-two.gif"});
    WriteFile(dir / "-two.gif", OnePixelTwoFrameGif());
    MainWindow window(Q(dir / "framelot.ini"));
    QSignalSpy finished(&window, &MainWindow::DropFinished);
    window.show();
    window.ConvertFiles(parsed.Files);
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(window.ResultLabelText(), QStringLiteral("2 file complete!"));
    EXPECT_TRUE(fs::exists(dir / "one/one_0001.png"));
    EXPECT_TRUE(fs::exists(dir / "-two/-two_0001.png"));
    QTRY_VERIFY(!window.IsProcessing());
}

// Where the setting lives: beside the program when it can be, else in the
// user's configuration folder. Run as an unprivileged user, since root may
// write anywhere; then as whoever runs the tests, for installed programs.
TEST(WindowTest, SettingStaysBesideTheProgramWhenItCanElseGoesToTheUsersConfiguration)
{
    TempDir dir;
    fs::permissions(dir.Path, fs::perms::all);
    for (const char* folder : {"writable", "readonly", "readonly-with-file", "config"}) fs::create_directory(dir / folder);
    const std::string off = "[SystemSetting]\nfolder=OFF\n";
    WriteFile(dir / "readonly-with-file/framelot.ini", Bytes(off.begin(), off.end()));
    const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                          fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(dir / "writable", fs::perms::all);
    fs::permissions(dir / "config", fs::perms::all);
    fs::permissions(dir / "readonly", readOnly);
    fs::permissions(dir / "readonly-with-file", readOnly);
    fs::permissions(dir / "readonly-with-file/framelot.ini", fs::perms::all);

    const std::string result = InChild([&] {
        ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        std::string out;
        for (const char* folder : {"writable", "readonly", "readonly-with-file"}) {
            out += ChooseSettingsPath(Q(dir / folder + "/framelot")).toStdString() + "\n";
        }
        // The configuration folder is made when the setting is first written.
        const QString xdg = ChooseSettingsPath(Q(dir / "readonly/framelot"));
        out += WriteMakeFolder(xdg, false) && !ReadMakeFolder(xdg) ? "written\n" : "not written\n";
        out += ReadMakeFolder(Q(dir / "readonly-with-file/framelot.ini")) ? "on\n" : "off\n";
        // Nowhere to write: reported, nothing else touched.
        out += WriteMakeFolder(Q(dir / "readonly/framelot.ini"), true) ? "written\n" : "not written\n";
        return out;
    }, true);
    EXPECT_EQ(result, dir / "writable/framelot.ini" + "\n" + dir / "config/framelot/framelot.ini" + "\n" +
                          dir / "readonly-with-file/framelot.ini" + "\nwritten\noff\nnot written\n");
    EXPECT_EQ(ListFiles(dir / "readonly"), std::vector<std::string>{});

    // An installed program keeps the setting in the configuration folder even
    // when its folder can be written, as it can by root; a link into a system
    // folder counts as that folder.
    fs::create_directory_symlink("/usr/bin", dir / "linked-bin");
    const std::string installed = InChild([&] {
        ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        std::string out;
        for (const std::string& program : {std::string("/usr/bin/framelot"), std::string("/usr/local/bin/framelot"),
                                           dir / "linked-bin/framelot"}) {
            out += ChooseSettingsPath(Q(program)).toStdString() + "\n";
        }
        return out;
    }, false);
    const std::string config = dir / "config/framelot/framelot.ini" + "\n";
    EXPECT_EQ(installed, config + config + config);
}

TEST(WindowTest, EscClosesTheLastWindowAndTheEventLoopEndsWithZero)
{
    TempDir dir;
    MainWindow window(Q(dir / "framelot.ini"));
    window.show();
    QTimer::singleShot(0, &window, [&] { QTest::keyClick(&window, Qt::Key_Escape); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(ReadMakeFolder(Q(dir / "framelot.ini")));
}

}  // namespace
}  // namespace framelot

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

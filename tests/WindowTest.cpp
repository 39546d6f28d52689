// The window, driven as a user would: drops of file URLs, right clicks, Esc and
// close requests, through real Qt events on the offscreen platform.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <condition_variable>
#include <mutex>

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

Bytes TwoFrameGif()
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
        WriteFile(dir / name, TwoFrameGif());
    }
    WriteFile(dir / "still.png", BuildPlainPng(1, 1, SolidRgba(1, 1, 0, 0, 0, 255)));
    fs::create_directory(dir / "done");  // its output is already there

    std::vector<std::string> order;
    MainWindow window(Q(dir / "framelot.ini"), [&](const std::string& path, bool makeFolder) {
        order.push_back(fs::path(path).filename().string());
        return ConvertDroppedFile(path, makeFolder);
    });
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
    MainWindow window(path, [&](const std::string&, bool) { return gate.Convert(); },
                      [&](QWidget*) { ++asked; return answer; });
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

TEST(WindowTest, DropsArrivingDuringADropAreHandledAfterItEachWithItsResult)
{
    TempDir dir;
    Gate gate;
    MainWindow window(Q(dir / "framelot.ini"), [&](const std::string&, bool) { return gate.Convert(); });
    QSignalSpy finished(&window, &MainWindow::DropFinished);
    ASSERT_TRUE(Drop(window, {dir / "a.gif", dir / "b.gif"}));
    gate.WaitStarted(1);
    ASSERT_TRUE(Drop(window, {dir / "c.gif"}));
    for (int i = 0; i < 3; ++i) gate.Release();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 10000);
    EXPECT_EQ(finished.at(0).at(0).toInt(), 2);
    EXPECT_EQ(finished.at(1).at(0).toInt(), 1);
    EXPECT_EQ(window.ResultLabelText(), QStringLiteral("1 file complete!"));
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

// framelot-cli as a user runs it: --info in text and JSON (the JSON parsed),
// and the progress line, which only a terminal gets.
#include <gtest/gtest.h>

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;

ProgramRun RunCli(const std::string& arguments)
{
    return RunProgram(std::string(FRAMELOT_CLI) + " " + arguments);
}

// One fixture of each format, with the delays, rectangles, methods and loop
// counts the test expects back.
struct Fixtures {
    TempDir Dir;
    Fixtures()
    {
        GifFrameSpec g0 = SolidGifFrame(0, 0, 4, 3, 1, 1), g1 = SolidGifFrame(1, 2, 2, 1, 2, 2),
                     g2 = SolidGifFrame(3, 0, 1, 1, 3, 3);
        g0.Delay = 0, g1.Delay = 7, g2.Delay = 150;
        WriteFile(Dir / "a.gif", BuildGif({.ScreenWidth = 10, .ScreenHeight = 9, .Palette = FourColours(), .Loops = 3,
                                           .Frames = {g0, g1, g2}}));
        const ApngSpec apng{.Width = 6, .Height = 5, .Plays = 2,
                            .Frames = {{.Width = 6, .Height = 5, .Pixels = SolidRgba(6, 5, 9, 9, 9, 255),
                                        .DelayNumerator = 1, .DelayDenominator = 30},
                                       {.Width = 2, .Height = 3, .X = 4, .Y = 1, .Dispose = 1, .Blend = 1,
                                        .Pixels = SolidRgba(2, 3, 1, 2, 3, 200), .DelayNumerator = 5,
                                        .DelayDenominator = 0},
                                       {.Width = 1, .Height = 1, .Pixels = SolidRgba(1, 1, 4, 5, 6, 255),
                                        .DelayNumerator = 3, .DelayDenominator = 2999}}};
        WriteFile(Dir / "b.png", BuildApng(apng));
        const WebpSpec webp{.CanvasWidth = 12, .CanvasHeight = 12, .Loops = 0,
                            .Frames = {{.Width = 4, .Height = 4, .Rgba = SolidRgba(4, 4, 1, 1, 1, 255), .Duration = 40},
                                       {.X = 6, .Y = 2, .Width = 2, .Height = 6, .Rgba = SolidRgba(2, 6, 2, 2, 2, 255),
                                        .DisposeBackground = true, .NoBlend = true, .Duration = 10}}};
        WriteFile(Dir / "c.webp", BuildAnimatedWebp(webp));
        WriteFile(Dir / "still.png", BuildPlainPng(1, 1, SolidRgba(1, 1, 0, 0, 0, 255)));
        WriteFile(Dir / "cut.gif", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0});
    }
};

QJsonObject Frame(const QJsonObject& file, int index)
{
    return file[QStringLiteral("frames")].toArray()[index].toObject();
}

TEST(CliTest, InfoAsJsonGivesEveryFrameAsTheFileSaysIt)
{
    Fixtures f;
    // A name that is not UTF-8 (Latin-1 "\xe9"), as another system may leave.
    const std::string latin1 = f.Dir / "caf\xe9.gif";
    fs::copy_file(f.Dir / "a.gif", latin1);
    const ProgramRun run = RunCli("--info --json " + f.Dir / "a.gif" + " " + f.Dir / "b.png" + " " + f.Dir / "c.webp" + " " +
                           f.Dir / "still.png" + " " + f.Dir / "cut.gif" + " " + Quoted(latin1));
    // 3/2999 s is 1.0003 ms: written "1", never "1.".
    EXPECT_EQ(run.Output.find("1.,"), std::string::npos) << run.Output;
    EXPECT_EQ(run.Output.find('\xe9'), std::string::npos);
    EXPECT_NE(run.Output.find("caf\\ufffd.gif"), std::string::npos) << run.Output;
    EXPECT_EQ(run.Status, 1) << "cut.gif is damaged: " << run.Output;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(run.Output), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n" << run.Output;
    const QJsonArray files = doc.array();
    ASSERT_EQ(files.size(), 6);

    const QJsonObject gif = files[0].toObject();
    EXPECT_EQ(gif["status"].toString(), "ok");
    EXPECT_EQ(gif["format"].toString(), "GIF");
    EXPECT_EQ(gif["canvas"].toObject()["width"].toInt(), 4);  // the farthest frame edge, not the screen
    EXPECT_EQ(gif["declared"].toObject()["height"].toInt(), 9);
    EXPECT_EQ(gif["loops"].toInt(), 3);
    ASSERT_EQ(gif["frames"].toArray().size(), 3);
    EXPECT_EQ(Frame(gif, 1)["left"].toInt(), 1);
    EXPECT_EQ(Frame(gif, 1)["top"].toInt(), 2);
    EXPECT_EQ(Frame(gif, 1)["width"].toInt(), 2);
    EXPECT_EQ(Frame(gif, 1)["delay_ms"].toDouble(), 70);
    EXPECT_EQ(Frame(gif, 2)["delay_ms"].toDouble(), 1500);
    EXPECT_EQ(Frame(gif, 2)["delay_raw"].toString(), "150/100 s");
    EXPECT_EQ(Frame(gif, 0)["dispose"].toString(), "keep");
    EXPECT_EQ(Frame(gif, 1)["dispose"].toString(), "background");
    EXPECT_EQ(Frame(gif, 2)["dispose"].toString(), "previous");

    const QJsonObject apng = files[1].toObject();
    EXPECT_EQ(apng["format"].toString(), "APNG");
    EXPECT_EQ(apng["loops"].toInt(), 2);
    EXPECT_NEAR(Frame(apng, 0)["delay_ms"].toDouble(), 33.333, 0.001);
    EXPECT_EQ(Frame(apng, 1)["delay_ms"].toDouble(), 50);  // a denominator of 0 means hundredths
    EXPECT_EQ(Frame(apng, 1)["delay_raw"].toString(), "5/0 s");
    EXPECT_EQ(Frame(apng, 1)["left"].toInt(), 4);
    EXPECT_EQ(Frame(apng, 1)["height"].toInt(), 3);
    EXPECT_EQ(Frame(apng, 1)["dispose"].toString(), "background");
    EXPECT_EQ(Frame(apng, 1)["blend"].toString(), "over");
    EXPECT_EQ(Frame(apng, 0)["blend"].toString(), "source");
    EXPECT_EQ(Frame(apng, 2)["delay_ms"].toDouble(), 1);

    const QJsonObject webp = files[2].toObject();
    EXPECT_EQ(webp["format"].toString(), "WebP");
    EXPECT_EQ(webp["loops"].toInt(), 0);
    EXPECT_EQ(webp["declared"].toObject()["width"].toInt(), 12);
    EXPECT_EQ(webp["canvas"].toObject()["width"].toInt(), 8);
    EXPECT_EQ(Frame(webp, 1)["delay_ms"].toDouble(), 10);
    EXPECT_EQ(Frame(webp, 1)["left"].toInt(), 6);
    EXPECT_EQ(Frame(webp, 1)["dispose"].toString(), "background");
    EXPECT_EQ(Frame(webp, 1)["blend"].toString(), "source");

    EXPECT_EQ(files[3].toObject()["status"].toString(), "not_animation");
    EXPECT_EQ(files[3].toObject()["reason"].toString(), "not an animated PNG");
    EXPECT_EQ(files[4].toObject()["status"].toString(), "failed");
    EXPECT_EQ(files[4].toObject()["reason"].toString(),
              "the file ends before its first frame without the GIF trailer: any later frames are missing");
    EXPECT_TRUE(ListFiles(f.Dir.Path).size() == 6u) << "--info writes nothing";
}

// Every file of the public suites in one run: the output parses, names each
// file as given, in order, and each animation has whole frames with delays.
TEST(CliTest, InfoAsJsonParsesForEveryFileOfTheSuites)
{
    const char* env = std::getenv("FRAMELOT_CORPUS");
    const fs::path corpus = env && *env ? fs::path(env) : fs::path(FRAMELOT_CORPUS_DEFAULT);
    if (!fs::is_directory(corpus)) GTEST_SKIP() << "corpus not found at " << corpus << " (set FRAMELOT_CORPUS)";
    std::vector<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(corpus)) {
        std::string extension = entry.path().extension().string();
        for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (const char* known : {".gif", ".png", ".apng", ".webp", ".avif", ".avifs", ".jxl"}) {
            if (entry.is_regular_file() && extension == known) paths.push_back(entry.path().string());
        }
    }
    std::sort(paths.begin(), paths.end());
    ASSERT_GT(paths.size(), 100u);
    std::string arguments = "--info --json";
    for (const std::string& path : paths) arguments += " " + Quoted(path);
    const ProgramRun run = RunCli(arguments);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(run.Output), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << " at " << error.offset;
    const QJsonArray files = doc.array();
    ASSERT_EQ(files.size(), static_cast<qsizetype>(paths.size()));
    int animations = 0;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QJsonObject file = files[i].toObject();
        const std::string name = paths[static_cast<std::size_t>(i)];
        EXPECT_EQ(file["file"].toString().toStdString(), name);
        if (file["status"].toString() != "ok") {
            EXPECT_FALSE(file["reason"].toString().isEmpty()) << name;
            continue;
        }
        ++animations;
        const QJsonArray frames = file["frames"].toArray();
        EXPECT_GE(frames.size(), 2) << name;
        for (const QJsonValue& frame : frames) {
            EXPECT_TRUE(frame.toObject()["delay_ms"].isDouble()) << name;
            EXPECT_GT(frame.toObject()["width"].toInt(), 0) << name;
        }
    }
    EXPECT_GT(animations, 50);
}

TEST(CliTest, InfoAsTextIsATableThatMarksShortDelays)
{
    Fixtures f;
    const ProgramRun run = RunCli("--info " + f.Dir / "a.gif" + " " + f.Dir / "still.png");
    EXPECT_EQ(run.Status, 0);
    EXPECT_NE(run.Output.find("a.gif: GIF, canvas 4 x 3 (declared 10 x 9), loop count 3, 3 frames"), std::string::npos)
        << run.Output;
    EXPECT_NE(run.Output.find("       1      1      2      2      1       70    7/100 s"), std::string::npos)
        << run.Output;
    EXPECT_NE(run.Output.find("       0 *  0/100 s"), std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find("viewers commonly show such a frame for about 100 ms"), std::string::npos);
    EXPECT_NE(run.Output.find("still.png: not converted, not an animated PNG"), std::string::npos);
    EXPECT_EQ(RunCli("--json " + f.Dir / "a.gif").Status, 2);
    EXPECT_EQ(RunCli("--info " + f.Dir / "missing.gif").Status, 1);
}

// Output options as a user types them: each bad value is a usage error whose
// first line says why; good ones reach the conversion, folders included.
TEST(CliTest, OutputOptionsAreReadAndBadValuesAreUsageErrors)
{
    Fixtures f;
    const struct { const char* Arguments; const char* Reason; } bad[] = {
        {"--frames x", "framelot-cli: --frames takes frame numbers and ranges such as 0,5,10-20 or 10- (not \"x\")\n"},
        {"--frames 5-2", "(not \"5-2\")\n"},
        {"--columns 0 --sheet", "framelot-cli: --columns takes a number from 1 to 100000\n"},
        {"--columns 3", "framelot-cli: --columns goes with --sheet\n"},
        {"--trim --padding 2", "framelot-cli: --trim goes with --sheet\n"},
        {"--sheet --trim --strip", "framelot-cli: --trim packs the frames in rows of their own sizes"},
        {"--sheet --rows 2 --columns 2", "framelot-cli: --columns and --rows (or --strip) each set the grid"},
        {"--sheet --max-size 64", "framelot-cli: --max-size takes WIDTHxHEIGHT"},
        {"--sheet --padding 1025", "framelot-cli: --padding takes a number from 0 to 1024\n"},
        {"--every 0", "framelot-cli: --every takes a number from 1 to 100000\n"},
        {"--every 2 --count 3", "framelot-cli: --every, --at and --count each pick the frames: give one\n"},
        {"--at 1x", "framelot-cli: --at takes times such as 0,1.5s,2500ms"},
        {"--name {name}", "framelot-cli: --name: the template has no {index}"},
        {"--start -1", "framelot-cli: --start takes a number from 0 to"},
        {"--info --count 3", "framelot-cli: --info writes nothing"},
        {"--timings srt", "framelot-cli: --timings takes ffconcat, json or csv (not \"srt\")\n"},
        {"--scale 0", "framelot-cli: --scale takes a factor above 0, up to 64"},
        {"--scale 2 --fit 9x9", "framelot-cli: --scale and --fit each set the size: give one\n"},
        {"--filter box", "framelot-cli: --filter goes with --scale or --fit\n"},
        {"--format gif", "framelot-cli: --format takes png, webp or jpeg (not \"gif\")\n"},
        {"--quality 80", "framelot-cli: --quality goes with --format webp or jpeg\n"},
        {"--format jpeg --quality 101", "framelot-cli: --quality takes a number from 0 to 100\n"},
        {"--format jpeg --background red", "framelot-cli: --background takes a colour as #RRGGBB, #RGB, white or black"},
        {"--format webp --background fff", "framelot-cli: --background goes with --format jpeg\n"},
        {"--format jpeg --sheet", "framelot-cli: --format sets the frame files' format"},
        {"--sheet --timings csv", "framelot-cli: --timings goes with frame files"},
        {"--sheet --atlas xml", "framelot-cli: --atlas takes array, hash, aseprite, godot or css (not \"xml\")\n"},
        {"--canvas other", "framelot-cli: --canvas takes grown or declared (not \"other\")\n"},
        {"--info --sheet", "framelot-cli: --info writes nothing"},
    };
    for (const auto& b : bad) {
        const ProgramRun run = RunCli(std::string(b.Arguments) + " " + f.Dir / "a.gif");
        EXPECT_EQ(run.Status, 2) << b.Arguments;
        const std::string firstLine = run.Output.substr(0, run.Output.find('\n') + 1);
        EXPECT_NE(firstLine.find(b.Reason), std::string::npos) << b.Arguments << ": " << run.Output;
    }
    EXPECT_EQ(RunCli(f.Dir / "a.gif" + " -o").Output.rfind("framelot-cli: -o needs a value\n", 0), 0u);
    // The fixtures' folder into another folder, frame 1 only: every animation
    // has it; still.png and cut.gif say why they are not converted, and the
    // damaged cut.gif makes the status 1.
    const ProgramRun run = RunCli("--frames 1 --no-folder -o " + f.Dir / "out" + " " + f.Dir / "");
    EXPECT_EQ(run.Status, 1) << run.Output;
    EXPECT_NE(run.Output.find("cut.gif: failed: the file ends"), std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find("still.png: not converted"), std::string::npos) << run.Output;
    EXPECT_EQ(ListFiles(f.Dir.Path / "out"), (std::vector<std::string>{"a_0001.png", "b_0001.png", "c_0001.png"}))
        << run.Output;
    EXPECT_NE(run.Output.find("3 file complete!"), std::string::npos) << run.Output;
    EXPECT_EQ(RunCli("--frames 7- " + f.Dir / "c.webp").Status, 2);

    // --npy -: the array on standard output for a pipe, the lines on standard
    // error, nothing left behind; one file only.
    const ProgramRun piped =
        RunProgram("{ " + std::string(FRAMELOT_CLI) + " --npy - " + f.Dir / "a.gif" + " > " + f.Dir / "piped.npy; }");
    EXPECT_EQ(piped.Status, 0) << piped.Output;
    EXPECT_NE(piped.Output.find("a.gif: 3 frames written to standard output\n1 file complete!"), std::string::npos)
        << piped.Output;
    const Bytes array = ReadFile(f.Dir / "piped.npy");
    ASSERT_GT(array.size(), 128u);
    const std::string header(array.begin(), array.begin() + 128);
    EXPECT_EQ(header.substr(1, 5), "NUMPY");
    EXPECT_NE(header.find("'shape': (3, "), std::string::npos) << header;
    EXPECT_EQ((array.size() - 128) % (3 * 4), 0u);
    EXPECT_FALSE(fs::exists(f.Dir.Path / "a"));
    EXPECT_EQ(RunCli("--npy - " + f.Dir / "a.gif " + f.Dir / "b.png").Status, 2);
}

// A file that takes a few seconds: on a terminal its progress line shows and
// is erased; redirected, nothing of it appears, and --quiet drops the file line.
TEST(CliTest, ProgressLineOnlyOnATerminal)
{
    TempDir dir;
    std::mt19937 rng(4);
    std::vector<Rgb> palette;
    for (int i = 0; i < 256; ++i) palette.push_back(Rgb{std::uint8_t(i), std::uint8_t(i * 7), std::uint8_t(i * 13)});
    GifSpec fixture{.ScreenWidth = 400, .ScreenHeight = 400, .Palette = palette};
    for (int i = 0; i < 120; ++i) {
        GifFrameSpec frame = SolidGifFrame(0, 0, 400, 400, 0, 1);
        for (auto& v : frame.Indices) v = std::uint8_t(rng());
        fixture.Frames.push_back(frame);
    }
    WriteFile(dir / "slow.gif", BuildGif(fixture));

    int master = -1;
    const auto started = std::chrono::steady_clock::now();
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::execl(FRAMELOT_CLI, FRAMELOT_CLI, "--jobs", "1", (dir / "slow.gif").c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    std::string screen;
    char buffer[256];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) screen.append(buffer, static_cast<std::size_t>(n));
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(master);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << screen;
    if (seconds > 1.0) {
        EXPECT_NE(screen.find(" of 120 frames"), std::string::npos) << screen;
        EXPECT_NE(screen.find("\r\033[K"), std::string::npos) << "the line is erased";
    }
    EXPECT_NE(screen.find("slow.gif: 120 frames written to"), std::string::npos) << screen;

    fs::remove_all(dir / "slow");
    const ProgramRun redirected = RunCli(dir / "slow.gif");
    EXPECT_EQ(redirected.Output.find("of 120 frames"), std::string::npos);
    EXPECT_EQ(redirected.Output.find('\033'), std::string::npos);
    fs::remove_all(dir / "slow");
    EXPECT_EQ(RunCli("--quiet " + dir / "slow.gif").Output, "1 file complete!\n");
}

}  // namespace
}  // namespace framelot

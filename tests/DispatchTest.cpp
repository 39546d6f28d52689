// The dispatch a drop and the command line share, and framelot-cli itself.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "convert/Dispatch.h"
#include "convert/FileConversion.h"
#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;

TEST(DispatchTest, ExtensionPicksTheConverterInAnyLetterCase)
{
    EXPECT_EQ(KindOfPath("/a/ANIM.GIF"), SourceKind::Gif);
    EXPECT_EQ(KindOfPath("/a/anim.Gif"), SourceKind::Gif);
    EXPECT_EQ(KindOfPath("/a/anim.gif"), SourceKind::Gif);
    EXPECT_EQ(KindOfPath("/a/x.PNG"), SourceKind::Apng);
    EXPECT_EQ(KindOfPath("/a/x.apng"), SourceKind::Apng);
    EXPECT_EQ(KindOfPath("/a/x.WebP"), SourceKind::Webp);
    EXPECT_EQ(KindOfPath("/a/x.AVIF"), SourceKind::Avif);
    EXPECT_EQ(KindOfPath("/a/x.avifs"), SourceKind::Avif);
    EXPECT_EQ(KindOfPath("/a/x.Jxl"), SourceKind::Jxl);
    EXPECT_EQ(KindOfPath("/a/x.avifs2"), SourceKind::None);
    EXPECT_EQ(KindOfPath("/a/anim.gif.txt"), SourceKind::None);
    EXPECT_EQ(KindOfPath("/a/anim"), SourceKind::None);
    EXPECT_EQ(KindOfPath("/a/anim.gi f"), SourceKind::None);
    EXPECT_EQ(KindOfPath("/a.gif/anim"), SourceKind::None);
}

TEST(DispatchTest, ResultTextNeverPluralises)
{
    EXPECT_EQ(ResultText(3), "3 file complete!");
    EXPECT_EQ(ResultText(0), "0 file complete!");
}

TEST(DispatchTest, SameNamesFromTwoFormatsDoNotOverwriteEachOther)
{
    TempDir dir;
    WriteFile(dir / "anim.gif", BuildGif({.ScreenWidth = 1, .ScreenHeight = 1, .Palette = FourColours(), .Frames = {SolidGifFrame(0, 0, 1, 1, 1), SolidGifFrame(0, 0, 1, 1, 2)}}));
    WriteFile(dir / "anim.webp", BuildAnimatedWebp({.CanvasWidth = 2, .CanvasHeight = 2, .Frames = {{0, 0, 2, 2, SolidRgba(2, 2, 1, 1, 1, 255)},
                                                              {0, 0, 2, 2, SolidRgba(2, 2, 2, 2, 2, 255)}}}));
    EXPECT_EQ(ConvertDroppedFile(dir / "anim.gif").Status, ConvertStatus::Converted);
    EXPECT_EQ(ConvertDroppedFile(dir / "anim.webp").Status, ConvertStatus::Skipped);
    EXPECT_EQ(ReadPng(dir / "anim/anim_0000.png").Width, 1);
}

// A converter whose frames 4 and 2 (handed on in that order) are empty
// bitmaps, which no PNG can hold: the result names the lowest failed frame,
// not the first or the last to fail.
ConvertResult TwoUnwritableFrames(std::span<const std::uint8_t>, const FrameSink& sink, const FrameCountSink&)
{
    const Bitmap pixel = SolidBitmap(1, 1, 3, 2, 1, 255), empty;
    for (std::uint64_t i : {0, 1, 4, 3, 2, 5}) sink(i, i == 2 || i == 4 ? empty : pixel);
    return Converted();
}

TEST(FileConversionTest, TheLowestFailedFrameIsReportedWithTheCount)
{
    TempDir dir;
    WriteFile(dir / "a.gif", {1});
    for (unsigned threads : {0u, 2u}) {
        const ConvertResult r = ConvertFileWith(dir / "a.gif", {.MakeFolder = threads == 2}, TwoUnwritableFrames, nullptr, threads);
        EXPECT_EQ(r.Status, ConvertStatus::Failed);
        EXPECT_EQ(r.Failure, FailureKind::FileSystem);
        EXPECT_EQ(r.Reason, "2 frames could not be written (frame 2: cannot encode PNG)");
        // The frames that were written are taken back with the folder, so a
        // retry is not skipped.
        EXPECT_EQ(r.FramesWritten, 0u);
        EXPECT_FALSE(fs::exists(dir / "a"));
        EXPECT_FALSE(fs::exists(dir / "a_0000.png"));
    }
}

// Frames 0-2 equal, frame 3 one pixel different, frames 4-5 equal to frame 0.
ConvertResult RepeatedFrames(std::span<const std::uint8_t>, const FrameSink& sink, const FrameCountSink&)
{
    Bitmap frame = SolidBitmap(5, 3, 30, 20, 10, 255);
    for (std::uint64_t i = 0; i < 6; ++i) {
        Bitmap handed = frame;
        if (i == 3) handed.Pixels[4 * 7] = 31;  // pixel (2, 1), red
        sink(i, handed);
    }
    return Converted();
}

TEST(FileConversionTest, RepeatedFramesAreWrittenUnderEachNumberAndADifferentOneIsNot)
{
    for (unsigned threads : {0u, 2u}) {
        TempDir dir;
        WriteFile(dir / "r.gif", {1});
        const ConvertResult r = ConvertFileWith(dir / "r.gif", {.MakeFolder = false}, RepeatedFrames, nullptr, threads);
        ASSERT_EQ(r.Status, ConvertStatus::Converted) << r.Reason;
        EXPECT_EQ(r.FramesWritten, 6u);
        for (int i = 0; i < 6; ++i) {
            const Bitmap back = ReadPng(dir / ("r_000" + std::to_string(i) + ".png"));
            ASSERT_EQ(back.Width, 5) << i;
            EXPECT_EQ(PixelAt(back, 2, 1), (std::vector<int>{i == 3 ? 31 : 30, 20, 10, 255})) << i;
            EXPECT_EQ(PixelAt(back, 0, 0), (std::vector<int>{30, 20, 10, 255})) << i;
        }
    }
}

// 300 frames written by two threads: the progress calls count 1 to 300 in
// order, each knowing the total.
TEST(FileConversionTest, ProgressCountsEveryFrameInOrder)
{
    TempDir dir;
    GifSpec fixture{.ScreenWidth = 8, .ScreenHeight = 8, .Palette = FourColours()};
    for (int i = 0; i < 300; ++i) fixture.Frames.push_back(SolidGifFrame(i % 8, 0, 1, 1, std::uint8_t(1 + i % 3)));
    WriteFile(dir / "many.gif", BuildGif(fixture));
    std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
    const ConvertResult r = ConvertDroppedFile(dir / "many.gif", {}, 2, [&](std::uint64_t done, std::uint64_t total) {
        calls.emplace_back(done, total);
    });
    ASSERT_EQ(r.Status, ConvertStatus::Converted) << r.Reason;
    ASSERT_EQ(calls.size(), 300u);
    for (std::uint64_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i], (std::pair<std::uint64_t, std::uint64_t>{i + 1, 300})) << i;
    }
}

ProgramRun RunCli(const std::string& arguments)
{
    return RunProgram(Quoted(FRAMELOT_CLI) + " " + arguments);
}

TEST(CliTest, ConvertsReportsAndPrintsTheWindowsResultText)
{
    TempDir dir;
    WriteFile(dir / "-dash anim.gif", TwoFrameGif());
    WriteFile(dir / "text.gif", {'n', 'o', 't', ' ', 'a', ' ', 'g', 'i', 'f', '.', '.', '.', '.', '.'});
    const ProgramRun run = RunCli("--no-folder -- " + Quoted(dir / "-dash anim.gif") + " " + Quoted(dir / "text.gif"));
    EXPECT_EQ(run.Status, 0) << run.Output;
    EXPECT_NE(run.Output.find("2 frames written"), std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find("not a GIF file"), std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find("\n1 file complete!\n"), std::string::npos) << run.Output;
    EXPECT_EQ(ListFiles(dir.Path), (std::vector<std::string>{"-dash anim.gif", "-dash anim_0000.png",
                                                             "-dash anim_0001.png", "text.gif"}));

    const ProgramRun again = RunCli("--no-folder -- " + Quoted(dir / "-dash anim.gif"));
    EXPECT_NE(again.Output.find("skipped"), std::string::npos);
    EXPECT_NE(again.Output.find("0 file complete!"), std::string::npos);
}

TEST(CliTest, FilesSideBySideKeepTheirOrderAndSharedNamesStaySequential)
{
    TempDir dir;
    std::string arguments = "--jobs 3";
    for (int i = 0; i < 6; ++i) {
        const std::string name = dir / ("f" + std::to_string(i) + ".gif");
        WriteFile(name, BuildGif({.ScreenWidth = 1, .ScreenHeight = 1, .Palette = FourColours(), .Frames = {SolidGifFrame(0, 0, 1, 1, 1), SolidGifFrame(0, 0, 1, 1, std::uint8_t(1 + i % 3))}}));
        arguments += " " + Quoted(name);
    }
    // anim.gif and anim.webp share their frame names: the second is skipped,
    // as in a one-by-one conversion, however many jobs run.
    WriteFile(dir / "anim.gif", BuildGif({.ScreenWidth = 1, .ScreenHeight = 1, .Palette = FourColours(), .Frames = {SolidGifFrame(0, 0, 1, 1, 1), SolidGifFrame(0, 0, 1, 1, 2)}}));
    WriteFile(dir / "anim.webp", BuildAnimatedWebp({.CanvasWidth = 2, .CanvasHeight = 2, .Frames = {{0, 0, 2, 2, SolidRgba(2, 2, 1, 1, 1, 255)},
                                                              {0, 0, 2, 2, SolidRgba(2, 2, 2, 2, 2, 255)}}}));
    arguments += " " + Quoted(dir / "anim.gif") + " " + Quoted(dir / "anim.webp");
    const ProgramRun run = RunCli(arguments);
    EXPECT_EQ(run.Status, 0) << run.Output;
    std::size_t last = 0;
    for (int i = 0; i < 6; ++i) {
        const std::size_t at = run.Output.find("f" + std::to_string(i) + ".gif: 2 frames written");
        ASSERT_NE(at, std::string::npos) << run.Output;
        EXPECT_GE(at, last);
        last = at;
    }
    EXPECT_NE(run.Output.find("anim.webp: skipped"), std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find("\n7 file complete!\n"), std::string::npos) << run.Output;
    EXPECT_EQ(ReadPng(dir / "anim/anim_0000.png").Width, 1);
    EXPECT_EQ(RunCli("--jobs 0 x.gif").Status, 2);
}

TEST(CliTest, ExitStatusSaysWhetherAnythingFailed)
{
    TempDir dir;
    EXPECT_EQ(RunCli(Quoted(dir / "missing.gif")).Status, 1);
    EXPECT_EQ(RunCli("").Status, 2);
    EXPECT_EQ(RunCli("--bogus x.gif").Status, 2);
    const ProgramRun help = RunCli("--help");
    EXPECT_EQ(help.Status, 0);
    EXPECT_NE(help.Output.find("--no-folder"), std::string::npos);
    WriteFile(dir / "notes.txt", {'x'});
    const ProgramRun other = RunCli(Quoted(dir / "notes.txt"));
    EXPECT_EQ(other.Status, 0);
    EXPECT_NE(other.Output.find("0 file complete!"), std::string::npos);

    // Folders with nothing to convert: their reason at once, and status 2.
    fs::create_directories(dir.Path / "empty");
    fs::create_directories(dir.Path / "texts");
    WriteFile(dir / "texts/notes.txt", {'x'});
    for (const char* arguments : {"empty", "-r texts"}) {
        const std::string folder = std::string(arguments).substr(std::string(arguments).rfind(' ') + 1);
        const std::string given = std::string(arguments).substr(0, std::string(arguments).size() - folder.size());
        const ProgramRun run = RunCli(given + Quoted(dir / folder));
        EXPECT_EQ(run.Status, 2) << arguments;
        EXPECT_EQ(run.Output, "framelot-cli: no animations in " + dir / folder + "\n") << arguments;
    }
}

// A file of each format cut inside its last frame: its line says the file is
// damaged and where, and the status is 1, while a still of the same format is
// not converted and no failure.
TEST(CliTest, EveryFormatCutShortIsSaidAndFails)
{
    TempDir dir;
    GifSpec gif{.ScreenWidth = 2, .ScreenHeight = 2, .Palette = FourColours()};
    for (std::uint8_t i = 1; i <= 3; ++i) gif.Frames.push_back(SolidGifFrame(0, 0, 2, 2, i, 1));
    WebpSpec webp{.CanvasWidth = 2, .CanvasHeight = 2};
    for (std::uint8_t i = 0; i < 3; ++i) webp.Frames.push_back({.Width = 2, .Height = 2, .Rgba = SolidRgba(2, 2, i, 9, 9, 255)});
    const std::pair<const char*, Bytes> files[] = {
        {"gif.gif", BuildGif(gif)},
        {"apng.png", BuildApng({.Width = 2, .Height = 2, .Frames = {{.Width = 2, .Height = 2, .Pixels = SolidRgba(2, 2, 1, 2, 3, 255)},
                                                                  {.Width = 2, .Height = 2, .Pixels = SolidRgba(2, 2, 3, 2, 1, 255)},
                                                                  {.Width = 2, .Height = 2, .Pixels = SolidRgba(2, 2, 7, 7, 7, 255)}}})},
        {"webp.webp", BuildAnimatedWebp(webp)},
        {"avif.avif", ReadFile((fs::path(FRAMELOT_SAMPLES) / "two-frames-8x8.avif").string())},
        {"jxl.jxl", ReadFile((fs::path(FRAMELOT_SAMPLES) / "three-frames-4x4.jxl").string())},
    };
    for (const auto& [name, whole] : files) {
        const Bytes cut(whole.begin(), whole.end() - static_cast<std::ptrdiff_t>(std::min<std::size_t>(whole.size() / 8, 24)));
        WriteFile(dir / name, cut);
        const ProgramRun run = RunCli(Quoted(dir / name));
        EXPECT_EQ(run.Status, 1) << name << ": " << run.Output;
        const bool said = run.Output.find("the file is damaged: ") != std::string::npos ||
                          run.Output.find(": failed: ") != std::string::npos;
        EXPECT_TRUE(said) << name << ": " << run.Output;
    }
    WriteFile(dir / "still.png", BuildPlainPng(1, 1, SolidRgba(1, 1, 1, 1, 1, 255)));
    EXPECT_EQ(RunCli(Quoted(dir / "still.png")).Status, 0);
}

}  // namespace
}  // namespace framelot

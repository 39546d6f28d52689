// What a file writes is settled in its plan before its first frame: the
// names its frames get after picking and merging, the time each stands for,
// one scale factor, the format's limits; files whose plans share names are
// grouped, and a file that fails leaves nothing, so a retry converts it. The
// command line's own faults around the plan (pipes, cut headers, the output
// folder walked, --npy -, the usage line) are here too.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "convert/BatchRunner.h"
#include "convert/Describe.h"
#include "convert/Dispatch.h"
#include "output/files/PathText.h"
#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;

// Red and blue in turn, 100 to 500 ms: 1.5 s in all, red never held.
Bytes Alternating()
{
    GifSpec gif{.ScreenWidth = 2, .ScreenHeight = 1, .Palette = FourColours()};
    for (int i = 0; i < 5; ++i) {
        gif.Frames.push_back(SolidGifFrame(0, 0, 2, 1, i % 2 == 0 ? 1 : 3, 1));
        gif.Frames.back().Delay = 10 * (i + 1);
    }
    return BuildGif(gif);
}

// Red, red, blue, blue, green, green: 100 to 600 ms.
Bytes HeldPairs()
{
    GifSpec gif{.ScreenWidth = 4, .ScreenHeight = 3, .Palette = FourColours()};
    for (int i = 0; i < 6; ++i) {
        gif.Frames.push_back(SolidGifFrame(0, 0, 4, 3, static_cast<std::uint8_t>(1 + i / 2), 1));
        gif.Frames.back().Delay = 10 * (i + 1);
    }
    return BuildGif(gif);
}

Bytes Wide()
{
    GifSpec gif{.ScreenWidth = 2000, .ScreenHeight = 2, .Palette = FourColours()};
    for (std::uint8_t i = 1; i <= 2; ++i) gif.Frames.push_back(SolidGifFrame(0, 0, 2000, 2, i, 1));
    return BuildGif(gif);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        lines.push_back(text.substr(at, end - at));
    }
    return lines;
}

ProgramRun Cli(const std::string& arguments)
{
    return RunProgram(std::string(FRAMELOT_CLI) + " " + arguments);
}

TEST(OutputPlanTest, FilesThatWouldShareNamesAreGroupedOrRefused)
{
    TempDir dir;
    WriteFile(dir / "alt.gif", Alternating());
    WriteFile(dir / "held2.gif", HeldPairs());
    WriteFile(dir / "held2.webp", BuildAnimatedWebp({.CanvasWidth = 2, .CanvasHeight = 2,
                                                     .Frames = {{.Width = 2, .Height = 2, .Rgba = SolidRgba(2, 2, 1, 1, 1, 255)},
                                                                {.Width = 2, .Height = 2, .Rgba = SolidRgba(2, 2, 2, 2, 2, 255)}}}));

    // Names without {name}, every file in one folder: refused before anything.
    const std::string files = " " + Quoted(dir / "alt.gif") + " " + Quoted(dir / "held2.gif");
    ProgramRun run = Cli("-o " + Quoted(dir / "out") + " --no-folder --name \"f{index}\" --jobs 2" + files);
    EXPECT_EQ(run.Status, 2) << run.Output;
    EXPECT_NE(run.Output.find("--name without {name} gives every file the same frame names, and alt.gif and held2.gif"),
              std::string::npos) << run.Output;
    EXPECT_FALSE(fs::exists(dir / "out"));
    // A folder a file, or {name} in the names: each converts on its own.
    run = Cli("-o " + Quoted(dir / "out") + " --folder --name \"f{index}\" --jobs 2" + files);
    EXPECT_EQ(run.Status, 0) << run.Output;
    EXPECT_EQ(ListFiles(dir / "out"), (std::vector<std::string>{"alt", "alt/f0.png", "alt/f1.png", "alt/f2.png", "alt/f3.png",
                                                                "alt/f4.png", "held2", "held2/f0.png", "held2/f1.png",
                                                                "held2/f2.png", "held2/f3.png", "held2/f4.png", "held2/f5.png"}));

    // One stem twice: the later file is skipped, naming the earlier one,
    // which wrote every frame (none of its own was "already there").
    run = Cli("-o " + Quoted(dir / "out2") + " --no-folder --jobs 2 " + Quoted(dir / "held2.gif") + " " + Quoted(dir / "held2.webp"));
    const std::vector<std::string> lines = Lines(run.Output);
    ASSERT_EQ(lines.size(), 3u) << run.Output;
    EXPECT_EQ(lines[0], dir / "held2.gif" + ": 6 frames written to " + dir / "out2/held2_0000.png");
    EXPECT_EQ(lines[1], dir / "held2.webp" + ": skipped, same output as held2.gif: " + dir / "out2/held2_0000.png");
    EXPECT_EQ(run.Status, 0);
}

TEST(OutputPlanTest, AFailedFileLeavesNothingAndTheRetryConverts)
{
    TempDir dir;
    WriteFile(dir / "wide.gif", Wide());
    WriteFile(dir / "alt.gif", Alternating());
    const std::string longName(300, 'n');
    struct Case {
        const char* What;
        const char* File;
        const char* Failing;
        const char* Reason;
        int Exit = 1;
    } cases[] = {
        {"JPEG's side", "wide.gif", "--format jpeg --scale 40",
         "frames of 80000 x 80 pixels are too large for JPEG, which holds at most 65500 a side"},
        {"WebP's side", "wide.gif", "--format webp --scale 9",
         "frames of 18000 x 18 pixels are too large for WebP, which holds at most 16383 a side"},
        {"a name too long", "alt.gif", "--name \"{name}_{index}_NNN\"", "the name alt_0_nnnnnnnn", 2},
        {"a sheet past the cap", "alt.gif", "--sheet --max-output 50", "the sheet would take more than --max-output"},
        {"an array past the cap", "alt.gif", "--npy --max-output 100", "the array would take "},
        {"frames past the cap", "alt.gif", "--max-output 200", "the frames take more than --max-output"},
    };
    int k = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        const std::string out = dir / ("out" + std::to_string(k++));
        fs::create_directories(PathFromUtf8(out));
        std::string failing = c.Failing;
        if (const std::size_t at = failing.find("NNN"); at != std::string::npos) failing.replace(at, 3, longName);
        ProgramRun run = Cli(failing + " -o " + Quoted(out) + " " + Quoted(dir / c.File));
        EXPECT_EQ(run.Status, c.Exit) << run.Output;
        EXPECT_NE(run.Output.find(std::string(c.File) + ": failed: " + c.Reason), std::string::npos) << run.Output;
        const std::vector<std::string> left = ListFiles(out);
        EXPECT_TRUE(left.empty()) << "the failed file left " << (left.empty() ? "" : left.front());
        // Any other options: converted, not skipped for the failure's leftovers.
        run = Cli("-o " + Quoted(out) + " " + Quoted(dir / c.File));
        EXPECT_EQ(run.Status, 0) << run.Output;
        EXPECT_NE(run.Output.find("frames written to"), std::string::npos) << run.Output;
    }
}

// Picked frames stand for the time until the next picked frame; merging
// joins neighbours in the file only; and the first frame's name is the same
// for the line, the skip test and the file written.
TEST(OutputPlanTest, PickedFramesKeepTheirTimesAndTheirNames)
{
    TempDir dir;
    WriteFile(dir / "alt.gif", Alternating());
    WriteFile(dir / "held2.gif", HeldPairs());
    struct Case {
        const char* What;
        const char* File;
        const char* Options;
        const char* Csv;  // the timings written
    } cases[] = {
        {"every other frame", "alt.gif", "--every 2", "alt_0000.png,0,300\nalt_0002.png,2,700\nalt_0004.png,4,500\n"},
        {"frames never held", "alt.gif", "--frames 0,2,4 --merge-held",
         "alt_0000.png,0,300\nalt_0001.png,2,700\nalt_0002.png,4,500\n"},
        {"neighbours held", "held2.gif", "--frames 1- --merge-held",
         "held2_0000.png,1,200\nheld2_0001.png,2,700\nheld2_0002.png,4,1100\n"},
        {"counted", "held2.gif", "--count 2", "held2_0000.png,0,1000\nheld2_0004.png,4,1100\n"},
    };
    int k = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        const std::string out = dir / ("out" + std::to_string(k++));
        const std::string stem = StripExtension(c.File);
        const ProgramRun run = Cli(std::string(c.Options) + " --timings csv -o " + Quoted(out) + " " + Quoted(dir / c.File));
        EXPECT_EQ(run.Status, 0) << run.Output;
        const Bytes csv = ReadFile(out + "/" + stem + "/" + stem + "_timings.csv");
        EXPECT_EQ(std::string(csv.begin(), csv.end()), std::string("file,index,delay_ms\n") + c.Csv);
    }

    // Without the folder, merged from frame 2 on: the line names the first
    // file as written, and a rerun is skipped on it.
    const std::string merged = "--no-folder --frames 2- --merge-held --name \"{name}_{delay}ms_{index}\" -o " + Quoted(dir / "flat") +
                               " " + Quoted(dir / "held2.gif");
    ProgramRun run = Cli(merged);
    EXPECT_EQ(Lines(run.Output).front(), dir / "held2.gif" + ": 2 frames written to " + dir / "flat/held2_700ms_0.png" +
                                             "; 2 held frames merged (2 frames for 4)");
    EXPECT_EQ(ListFiles(dir / "flat"), (std::vector<std::string>{"held2_1100ms_1.png", "held2_700ms_0.png"}));
    run = Cli(merged);
    EXPECT_EQ(Lines(run.Output).front(), dir / "held2.gif" + ": skipped, output already exists: " + dir / "flat/held2_700ms_0.png");
}

// A canvas that grows (2, then 4, then 8 pixels square) scaled to fit 64 x
// 64: every frame by the final canvas's factor, 8, so frame 0's red square
// is 16 pixels, not the whole frame.
TEST(OutputPlanTest, AGrowingCanvasIsScaledByOneFactor)
{
    TempDir dir;
    GifSpec gif{.ScreenWidth = 2, .ScreenHeight = 2, .Palette = FourColours()};
    gif.Frames = {SolidGifFrame(0, 0, 2, 2, 1, 1), SolidGifFrame(0, 0, 4, 4, 2, 1), SolidGifFrame(0, 0, 8, 8, 3, 1)};
    WriteFile(dir / "grow.gif", BuildGif(gif));
    const struct { const char* Size; int Side; } sizes[] = {{"--fit 64x64", 64}, {"--scale 8", 64}, {"--scale 7.5", 60}};
    int k = 0;
    for (const auto& [size, side] : sizes) {
        SCOPED_TRACE(size);
        const std::string out = dir / ("out" + std::to_string(k++));
        const ProgramRun run = Cli(std::string(size) + " --filter nearest -o " + Quoted(out) + " " + Quoted(dir / "grow.gif"));
        ASSERT_EQ(run.Status, 0) << run.Output;
        const int red = side / 4;
        for (int f = 0; f < 3; ++f) {
            const Bitmap frame = ReadPng(out + "/grow/grow_000" + std::to_string(f) + ".png");
            ASSERT_EQ(frame.Width, side);
            ASSERT_EQ(frame.Height, side);
        }
        const Bitmap first = ReadPng(out + "/grow/grow_0000.png");
        const auto alpha = [&](int x, int y) { return first.Pixels[(static_cast<std::size_t>(y) * side + x) * 4 + 3]; };
        EXPECT_EQ(alpha(red - 1, red - 1), 255);
        EXPECT_EQ(alpha(red + 1, red + 1), 0);
    }
}

TEST(OutputPlanTest, TheCommandLineChecksWhatTheFilesStandFor)
{
    TempDir dir;
    fs::create_directories(dir.Path / "in");
    WriteFile(dir / "in/alt.gif", Alternating());
    WriteFile(dir / "in/held2.gif", HeldPairs());

    // --npy - takes one file: a folder of two is refused before anything.
    ProgramRun run = Cli("--npy - " + Quoted(dir / "in"));
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Output.find("--npy - writes one file's array to standard output, and the files given stand for 2"),
              std::string::npos) << run.Output;
    // A usage error says why and where the options are, without the usage.
    run = Cli("--scale 2 --fit 3x3 " + Quoted(dir / "in/alt.gif"));
    EXPECT_EQ(run.Status, 2);
    EXPECT_EQ(run.Output, "framelot-cli: --scale and --fit each set the size: give one\nframelot-cli: see framelot-cli --help\n");

    // -r into the folder walked: the second run reads no frame of the first.
    const std::string walk = "-r -o " + Quoted(dir / "in/out") + " " + Quoted(dir / "in");
    run = Cli(walk);
    EXPECT_EQ(Lines(run.Output).size(), 3u) << run.Output;
    run = Cli(walk);
    EXPECT_EQ(Lines(run.Output).size(), 3u) << run.Output;
    EXPECT_EQ(run.Output.find("not converted"), std::string::npos) << run.Output;

    // Cut inside their headers, after a signature that names the format:
    // damaged files, not files of another kind.
    const Bytes gif = Alternating();
    const Bytes webp = BuildAnimatedWebp({.CanvasWidth = 2, .CanvasHeight = 2,
                                          .Frames = {{.Width = 2, .Height = 2, .Rgba = SolidRgba(2, 2, 1, 1, 1, 255)},
                                                     {.Width = 2, .Height = 2, .Rgba = SolidRgba(2, 2, 2, 2, 2, 255)}}});
    const Bytes apng = BuildApng({.Width = 1, .Height = 1, .Frames = {{.Width = 1, .Height = 1, .Pixels = SolidRgba(1, 1, 1, 1, 1, 255)},
                                                                       {.Width = 1, .Height = 1, .Pixels = SolidRgba(1, 1, 2, 2, 2, 255)}}});
    const struct { const char* Name; const Bytes& Whole; std::size_t Kept; } cuts[] = {
        {"cut.gif", gif, 9}, {"cut.webp", webp, 23}, {"cut.png", apng, 17}};
    for (const auto& c : cuts) {
        WriteFile(dir / c.Name, Bytes(c.Whole.begin(), c.Whole.begin() + static_cast<std::ptrdiff_t>(c.Kept)));
        run = Cli(Quoted(dir / c.Name));
        EXPECT_EQ(run.Status, 1) << run.Output;
        EXPECT_NE(run.Output.find(std::string(c.Name) + ": failed: the file ends inside its header"), std::string::npos) << run.Output;
    }

#ifndef _WIN32
    // A named pipe is not waited on.
    ASSERT_EQ(::mkfifo((dir / "pipe.gif").c_str(), 0600), 0);
    run = Cli(Quoted(dir / "pipe.gif"));
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Output.find("pipe.gif: cannot read the file: not a regular file"), std::string::npos) << run.Output;
    // Standard output that cannot take the array fails the file.
    if (fs::exists("/dev/full")) {
        run = RunProgram("{ " + std::string(FRAMELOT_CLI) + " --npy - " + Quoted(dir / "in/alt.gif") + " > /dev/full; }");
        EXPECT_EQ(run.Status, 1);
        EXPECT_NE(run.Output.find("alt.gif: failed: cannot write the array to standard output"), std::string::npos)
            << run.Output;
        EXPECT_EQ(run.Output.find("written to standard output"), std::string::npos) << run.Output;
    }
#endif
}

}  // namespace
}  // namespace framelot

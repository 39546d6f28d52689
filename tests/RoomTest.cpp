// Room for the frames: --max-output kept as the files are written, and a
// plan clearly over the free space refused before anything is written; a file system that fills
// part-way (the estimate fooled by a first frame far smaller than the rest)
// leaves nothing of that file, and a retry with room converts it. The small
// file system is a tmpfs of a set size, mounted by the test where it may
// (as root on Linux), skipped with the reason elsewhere.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "convert/Dispatch.h"
#include "output/files/PathText.h"
#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;

constexpr int Side = 256;
constexpr int NoisyFrames = 20;

#ifndef _WIN32
// A transparent first frame (a PNG of a few hundred bytes), then frames of
// four-colour noise (about 16 kB each as PNG).
Bytes FoolingGif()
{
    std::mt19937 random(7);
    std::vector<GifFrameSpec> frames = {SolidGifFrame(0, 0, Side, Side, 0, 1)};
    frames.front().Transparent = 0;
    for (int i = 0; i < NoisyFrames; ++i) {
        GifFrameSpec f = SolidGifFrame(0, 0, Side, Side, 0, 1);
        for (auto& index : f.Indices) index = static_cast<std::uint8_t>(random() % 4);
        frames.push_back(std::move(f));
    }
    return BuildGif({.ScreenWidth = Side, .ScreenHeight = Side, .Palette = FourColours(), .Frames = frames});
}
#endif

// Noise from the first frame on: the estimate sees it.
Bytes NoisyGif()
{
    std::mt19937 random(8);
    std::vector<GifFrameSpec> frames;
    for (int i = 0; i < NoisyFrames; ++i) {
        GifFrameSpec f = SolidGifFrame(0, 0, Side, Side, 0, 1);
        for (auto& index : f.Indices) index = static_cast<std::uint8_t>(random() % 4);
        frames.push_back(std::move(f));
    }
    return BuildGif({.ScreenWidth = Side, .ScreenHeight = Side, .Palette = FourColours(), .Frames = frames});
}

// Noise in the first frame, then `more` frames: solid colours (a PNG of a
// few hundred bytes each), or with `repeat`, the first frame again.
Bytes NoiseThen(int more, bool repeat)
{
    std::mt19937 random(9);
    GifFrameSpec first = SolidGifFrame(0, 0, Side, Side, 0, 1);
    for (auto& index : first.Indices) index = static_cast<std::uint8_t>(random() % 4);
    std::vector<GifFrameSpec> frames = {first};
    for (int i = 0; i < more; ++i) {
        frames.push_back(repeat ? first : SolidGifFrame(0, 0, Side, Side, static_cast<std::uint8_t>(1 + i % 3), 1));
    }
    return BuildGif({.ScreenWidth = Side, .ScreenHeight = Side, .Palette = FourColours(), .Frames = frames});
}

// --max-output is kept byte for byte as files are written: a file past it
// stops and leaves nothing; a file that fits converts whatever its first
// frame suggests, and merged frames count as the files they make. Only what
// cannot fit (the first frame alone past the cap) is refused before writing.
TEST(RoomTest, TheCapCountsTheBytesWritten)
{
    TempDir dir;
    WriteFile(dir / "noisy.gif", NoisyGif());              // 20 frames of about 45 kB
    WriteFile(dir / "flat.gif", NoiseThen(19, false));     // one of about 45 kB, then 19 small ones
    WriteFile(dir / "held.gif", NoiseThen(19, true));      // one of about 45 kB, held for 19 more
    struct Case {
        const char* What;
        const char* File;
        std::uint64_t Cap;
        bool Merge;
        ConvertStatus Expected;
        const char* Reason;
    } cases[] = {
        {"past the cap part-way", "noisy.gif", 200'000, false, ConvertStatus::Failed, "the frames take more than --max-output 200 kB: "},
        {"the first frame alone past it", "noisy.gif", 10'000, false, ConvertStatus::Failed, "the frames would take at least "},
        {"a large first frame, then small ones", "flat.gif", 80'000, false, ConvertStatus::Converted, ""},
        {"merged before they count", "held.gif", 80'000, true, ConvertStatus::Converted, ""},
        {"held frames each a file", "held.gif", 80'000, false, ConvertStatus::Failed, "the frames take more than --max-output 80 kB: "},
    };
    int k = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        OutputOptions o;
        o.OutputFolder = dir / ("out" + std::to_string(k++));
        o.MaxOutputBytes = c.Cap;
        o.MergeHeld = c.Merge;
        const ConvertResult r = ConvertDroppedFile(dir / c.File, o, 2);
        EXPECT_EQ(r.Status, c.Expected) << r.Reason;
        EXPECT_EQ(r.Reason.rfind(c.Reason, 0), 0u) << r.Reason;
        if (r.Status != ConvertStatus::Converted) {
            EXPECT_EQ(r.Failure, FailureKind::OverLimit);
            EXPECT_FALSE(fs::exists(PathFromUtf8(o.OutputFolder))) << "what was written stayed";
            o.MaxOutputBytes = 10'000'000;
            EXPECT_EQ(ConvertDroppedFile(dir / c.File, o, 2).Status, ConvertStatus::Converted) << "a retry with room";
            continue;
        }
        std::uint64_t bytes = 0;
        for (const auto& entry : fs::recursive_directory_iterator(PathFromUtf8(o.OutputFolder))) {
            if (entry.is_regular_file()) bytes += entry.file_size();
        }
        EXPECT_LE(bytes, c.Cap);
    }
}


TEST(RoomTest, AFullFileSystemRefusesTheFramesOrTakesThemBackAndARetryConverts)
{
#ifdef _WIN32
    GTEST_SKIP() << "a small file system is made with a tmpfs mount, which Windows has not";
#else
    TempDir dir;
    SmallFileSystem small(dir / "small", "128k");
    if (!small.Mounted) GTEST_SKIP() << "cannot mount a tmpfs here (it takes root on Linux)";
    WriteFile(dir / "noisy.gif", NoisyGif());
    WriteFile(dir / "fooling.gif", FoolingGif());
    fs::create_directories(PathFromUtf8(small.Folder + "/out"));
    WriteFile(small.Folder + "/out/kept.txt", Bytes{'k'});  // there before: never touched
    OutputOptions o;
    o.OutputFolder = small.Folder + "/out";

    // Clearly too large: refused before the first frame is written.
    ConvertResult r = ConvertDroppedFile(dir / "noisy.gif", o, 0);
    EXPECT_EQ(r.Status, ConvertStatus::Failed);
    EXPECT_EQ(r.Failure, FailureKind::FileSystem);
    EXPECT_NE(r.Reason.find(" and the file system has "), std::string::npos) << r.Reason;
    EXPECT_EQ(ListFiles(o.OutputFolder), (std::vector<std::string>{"kept.txt"}));

    // The estimate fooled: the disk fills part-way; nothing of the file stays.
    r = ConvertDroppedFile(dir / "fooling.gif", o, 0);
    EXPECT_EQ(r.Status, ConvertStatus::Failed);
    EXPECT_EQ(r.Failure, FailureKind::FileSystem);
    EXPECT_NE(r.Reason.find("the file system filled up after "), std::string::npos) << r.Reason;
    EXPECT_NE(r.Reason.find(" more was needed. What was written of this file is removed"), std::string::npos) << r.Reason;
    EXPECT_EQ(ListFiles(o.OutputFolder), (std::vector<std::string>{"kept.txt"}));
    // What was missing comes from the frames written: well over 100 kB here
    // (the first frame's few hundred bytes would say far less).
    const std::size_t about = r.Reason.find("; about ");
    ASSERT_NE(about, std::string::npos) << r.Reason;
    const double missing = std::strtod(r.Reason.c_str() + about + 8, nullptr);
    const std::string unit = r.Reason.substr(r.Reason.find(' ', about + 8) + 1, 2);
    EXPECT_TRUE(unit == "MB" || (unit == "kB" && missing >= 100)) << r.Reason;

    // An estimate over the room by less than a quarter is let through (a
    // large first frame, then small ones): the frames fit.
    WriteFile(dir / "nearly.gif", NoiseThen(2, false));
    r = ConvertDroppedFile(dir / "nearly.gif", o, 0);
    EXPECT_EQ(r.Status, ConvertStatus::Converted) << r.Reason;

    // With room, the retry converts (it is not skipped as already there).
    ASSERT_TRUE(small.Resize("8m"));
    fs::remove_all(PathFromUtf8(o.OutputFolder + "/nearly"));
    r = ConvertDroppedFile(dir / "fooling.gif", o, 0);
    EXPECT_EQ(r.Status, ConvertStatus::Converted) << r.Reason;
    EXPECT_EQ(r.FramesWritten, static_cast<std::uint64_t>(NoisyFrames + 1));
#endif
}

}  // namespace
}  // namespace framelot

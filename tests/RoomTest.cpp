// Room for the frames: a plan over --max-output or clearly over the free
// space is refused before anything is written; a file system that fills
// part-way (the estimate fooled by a first frame far smaller than the rest)
// leaves nothing of that file, and a retry with room converts it. The small
// file system is a tmpfs of a set size, mounted by the test where it may
// (as root on Linux), skipped with the reason elsewhere.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "convert/Dispatch.h"
#include "output/PathText.h"
#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;

constexpr int Side = 256;
constexpr int NoisyFrames = 20;

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

TEST(RoomTest, APlanOverTheCapIsRefusedBeforeAnythingIsWritten)
{
    TempDir dir;
    WriteFile(dir / "noisy.gif", NoisyGif());
    OutputOptions o;
    o.OutputFolder = dir / "out";
    o.MaxOutputBytes = 100'000;
    const ConvertResult r = ConvertDroppedFile(dir / "noisy.gif", o, 0);
    EXPECT_EQ(r.Status, ConvertStatus::Failed);
    EXPECT_NE(r.Reason.find("the frames would take about "), std::string::npos) << r.Reason;
    EXPECT_NE(r.Reason.find("(20 of about "), std::string::npos) << r.Reason;
    EXPECT_NE(r.Reason.find("over --max-output 100 kB; choose fewer frames with --frames or --every"), std::string::npos)
        << r.Reason;
    EXPECT_FALSE(fs::exists(PathFromUtf8(o.OutputFolder))) << "the output folder was made";
    o.MaxOutputBytes = 10'000'000;
    EXPECT_EQ(ConvertDroppedFile(dir / "noisy.gif", o, 0).Status, ConvertStatus::Converted);
}

#ifndef _WIN32
// A tmpfs of `size` at `folder`, unmounted when it goes.
struct SmallFileSystem {
    std::string Folder;
    bool Mounted = false;
    SmallFileSystem(const std::string& folder, const char* size) : Folder(folder)
    {
        fs::create_directories(PathFromUtf8(folder));
        Mounted = std::system(("mount -t tmpfs -o size=" + std::string(size) + " framelot-test " + Quoted(folder) +
                               " 2>/dev/null").c_str()) == 0;
    }
    bool Resize(const char* size)
    {
        return std::system(("mount -o remount,size=" + std::string(size) + " " + Quoted(Folder)).c_str()) == 0;
    }
    ~SmallFileSystem()
    {
        if (Mounted) std::system(("umount " + Quoted(Folder)).c_str());
    }
};
#endif

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

    // With room, the retry converts (it is not skipped as already there).
    ASSERT_TRUE(small.Resize("8m"));
    r = ConvertDroppedFile(dir / "fooling.gif", o, 0);
    EXPECT_EQ(r.Status, ConvertStatus::Converted) << r.Reason;
    EXPECT_EQ(r.FramesWritten, static_cast<std::uint64_t>(NoisyFrames + 1));
#endif
}

}  // namespace
}  // namespace framelot

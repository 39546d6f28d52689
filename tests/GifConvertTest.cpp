// GIF frames composed by the disposal methods, and the file-level rules.
#include <gtest/gtest.h>

#include "convert/Dispatch.h"
#include "convert/FileConversion.h"
#include "gif/GifConvert.h"
#include "imaging/Limits.h"
#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;
using Px = std::vector<int>;

const Px Red = {255, 0, 0, 255}, Green = {0, 255, 0, 255}, Blue = {0, 0, 255, 255}, Black = {0, 0, 0, 255};

std::vector<Bitmap> Compose(const GifSpec& fixture, ConvertStatus expected = ConvertStatus::Converted)
{
    CollectedFrames frames;
    const ConvertResult r = ConvertGifData(BuildGif(fixture), frames.Sink());
    EXPECT_EQ(r.Status, expected) << r.Reason;
    return frames.Frames;
}

int Alpha(const Bitmap& b, int x, int y) { return PixelAt(b, x, y)[3]; }

// A converter that offers five 1x1 frames and counts how many it offered.
int framesOffered = 0;
ConvertResult OfferFiveFrames(std::span<const std::uint8_t>, const FrameSink& sink, const FrameCountSink& announce)
{
    constexpr int Frames = 5;
    announce(Frames);
    const Bitmap frame{1, 1, Bytes(4, 255)};
    framesOffered = 0;
    for (int i = 0; i < Frames; ++i) {
        ++framesOffered;
        if (!sink(static_cast<std::uint64_t>(i), frame)) return Converted();
    }
    return Converted();
}

TEST(GifConvertTest, OneImageIsNotAnAnimation)
{
    GifSpec fixture{.ScreenWidth = 2, .ScreenHeight = 2, .Palette = FourColours(), .Frames = {SolidGifFrame(0, 0, 2, 2, 1)}};
    EXPECT_TRUE(Compose(fixture, ConvertStatus::NotAnimation).empty());
}

TEST(GifConvertTest, LaterFrameShowsEarlierOneThroughTransparency)
{
    GifFrameSpec second = SolidGifFrame(0, 0, 2, 2, 2, 1);
    second.Transparent = 0;
    second.Indices = {0, 2, 0, 0};
    const auto out = Compose({.ScreenWidth = 2, .ScreenHeight = 2, .Palette = FourColours(), .Frames = {SolidGifFrame(0, 0, 2, 2, 1, 1), second}});
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(PixelAt(out[0], 1, 0), Red);
    EXPECT_EQ(PixelAt(out[1], 0, 0), Red);
    EXPECT_EQ(PixelAt(out[1], 1, 0), Green);
}

TEST(GifConvertTest, CanvasStartsAtTheFirstFrameExtentAndGrows)
{
    // A 10 x 10 first frame at (5, 5): the first output is 15 x 15 with
    // transparent bands along its top and left; a later frame reaching further
    // grows the canvas, the new area transparent.
    const auto out = Compose({.ScreenWidth = 20, .ScreenHeight = 20, .Palette = FourColours(), .Frames = {SolidGifFrame(5, 5, 10, 10, 1), SolidGifFrame(16, 2, 2, 2, 3)}});
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].Width, 15);
    EXPECT_EQ(out[0].Height, 15);
    EXPECT_EQ(Alpha(out[0], 4, 14), 0);
    EXPECT_EQ(Alpha(out[0], 14, 4), 0);
    EXPECT_EQ(PixelAt(out[0], 5, 5), Red);
    EXPECT_EQ(out[1].Width, 18);
    EXPECT_EQ(out[1].Height, 15);
    EXPECT_EQ(PixelAt(out[1], 5, 5), Red);
    EXPECT_EQ(PixelAt(out[1], 17, 3), Blue);
    EXPECT_EQ(Alpha(out[1], 17, 10), 0);
}

// The disposal matrix on a 2 x 1 canvas: frame 0 red at (0,0) 2x1, frame 1
// green at (1,0) 1x1, frame 2 fully transparent 2x1. The third output shows
// what frame 1's disposal left (or, for frame 0's disposal, the second output).
TEST(GifConvertTest, DisposalMethods)
{
    struct Case { const char* Name; int D0, D1; Px Second0, Third0, Third1; };
    const Px Clear = {0, 0, 0, 0};
    const Case cases[] = {
        {"keep", 1, 1, Red, Red, Green},
        {"unspecified", 0, 0, Red, Red, Green},
        {"background on frame 1", 1, 2, Red, Red, Clear},
        {"previous on frame 1", 1, 3, Red, Red, Red},
        {"background on frame 0", 2, 1, Clear, Clear, Green},
        {"previous on frame 0 acts as background", 3, 1, Clear, Clear, Green},
    };
    for (const Case& c : cases) {
        GifFrameSpec f2 = SolidGifFrame(0, 0, 2, 1, 0, 1);
        f2.Transparent = 0;
        const auto out = Compose({.ScreenWidth = 2, .ScreenHeight = 1, .Palette = FourColours(), .Frames = {SolidGifFrame(0, 0, 2, 1, 1, c.D0), SolidGifFrame(1, 0, 1, 1, 2, c.D1), f2}});
        ASSERT_EQ(out.size(), 3u) << c.Name;
        EXPECT_EQ(PixelAt(out[0], 0, 0), Red) << c.Name;
        EXPECT_EQ(PixelAt(out[1], 1, 0), Green) << c.Name << ": a frame's own disposal never shows in its output";
        if (c.Second0 == Clear) EXPECT_EQ(Alpha(out[1], 0, 0), 0) << c.Name;
        else EXPECT_EQ(PixelAt(out[1], 0, 0), c.Second0) << c.Name;
        if (c.Third1 == Clear) EXPECT_EQ(Alpha(out[2], 1, 0), 0) << c.Name;
        else EXPECT_EQ(PixelAt(out[2], 1, 0), c.Third1) << c.Name;
    }
}

TEST(GifConvertTest, FrameWithoutControlExtensionInheritsDisposal)
{
    GifFrameSpec last = SolidGifFrame(0, 0, 2, 1, 0, 1);
    last.Transparent = 0;
    // Frame 1 has no control extension: it inherits frame 0's "restore to
    // background", so frame 2 (transparent) shows a cleared canvas.
    const auto out = Compose({.ScreenWidth = 2, .ScreenHeight = 1, .Palette = FourColours(), .Frames = {SolidGifFrame(0, 0, 2, 1, 1, 2), SolidGifFrame(0, 0, 2, 1, 2, -1), last}});
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(PixelAt(out[1], 0, 0), Green);
    EXPECT_EQ(Alpha(out[2], 0, 0), 0);
}

TEST(GifConvertTest, TransparentPixelsOfFrameZeroAreAllZero)
{
    GifFrameSpec first = SolidGifFrame(0, 0, 2, 1, 0, 2);
    first.Transparent = 0;
    first.Indices = {0, 3};
    GifSpec fixture{.ScreenWidth = 2, .ScreenHeight = 1, .Palette = FourColours(), .Background = 1, .Frames = {first, SolidGifFrame(0, 0, 1, 1, 2)}};
    const auto out = Compose(fixture);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(PixelAt(out[0], 0, 0), (Px{0, 0, 0, 0}));
    EXPECT_EQ(PixelAt(out[0], 1, 0), Blue);
}

// Frame 0 placed at (1, 0) on a canvas that starts at its own size: column 0
// is never drawn and shows what the canvas was filled with before frame 0.
TEST(GifConvertTest, CanvasBeforeFrameZeroHoldsTheBackgroundColourWhenFrameZeroRestoresToIt)
{
    for (int disposal : {2, 3, 1}) {
        const GifSpec fixture{.ScreenWidth = 3, .ScreenHeight = 1, .Palette = FourColours(), .Background = 3,
                              .Frames = {SolidGifFrame(1, 0, 2, 1, 1, disposal), SolidGifFrame(1, 0, 1, 1, 2)}};
        const auto out = Compose(fixture);
        ASSERT_EQ(out.size(), 2u);
        const Px expected = disposal == 1 ? Px{255, 255, 255, 0} : Px{0, 0, 255, 0};  // blue under alpha 0
        EXPECT_EQ(PixelAt(out[0], 0, 0), expected) << disposal;
        EXPECT_EQ(PixelAt(out[0], 1, 0), Red) << disposal;
    }
}

// 201 one-pixel frames, the last at (9999, 9999): each frame is small, but
// 201 frames of a 10,000 x 10,000 canvas are 20.1 gigapixels of output.
TEST(GifConvertTest, OutputVolumeOverTheLimitIsRefusedBeforeAnyFrame)
{
    GifSpec fixture{.ScreenWidth = 1, .ScreenHeight = 1, .Palette = FourColours()};
    for (int i = 0; i < 200; ++i) fixture.Frames.push_back(SolidGifFrame(0, 0, 1, 1, 1));
    fixture.Frames.push_back(SolidGifFrame(9999, 9999, 1, 1, 2));
    std::uint64_t handed = 0;
    const ConvertResult r = ConvertGifData(BuildGif(fixture), [&](std::uint64_t, const Bitmap&) { return ++handed > 0; });
    EXPECT_EQ(r.Status, ConvertStatus::Failed);
    EXPECT_EQ(r.Failure, FailureKind::OverLimit);
    EXPECT_EQ(r.Reason, "frames x canvas size is over the program's limit");
    EXPECT_EQ(handed, 0u);
    EXPECT_EQ(AnimationOverLimits(200, 10'000, 10'000), "");  // one frame fewer is within it
}

TEST(GifConvertTest, LocalTablesInterlaceCommentsAnd87a)
{
    GifFrameSpec a = SolidGifFrame(0, 0, 1, 9, 1, -1);
    a.Interlace = true;
    a.LocalPalette = {Rgb{1, 2, 3}, Rgb{4, 5, 6}};
    a.CommentBefore = true;
    for (int y = 0; y < 9; ++y) a.Indices[y] = static_cast<std::uint8_t>(y & 1);
    GifFrameSpec b = SolidGifFrame(0, 0, 1, 1, 3, -1);
    b.CommentBefore = true;
    GifSpec fixture{.ScreenWidth = 1, .ScreenHeight = 9, .Palette = FourColours(), .Version87a = true, .LoopExtension = false, .Frames = {a, b}};
    const auto out = Compose(fixture);
    ASSERT_EQ(out.size(), 2u);
    for (int y = 0; y < 9; ++y) EXPECT_EQ(PixelAt(out[0], 0, y), (y & 1) ? (Px{4, 5, 6, 255}) : (Px{1, 2, 3, 255}));
    EXPECT_EQ(PixelAt(out[1], 0, 0), Blue);
    EXPECT_EQ(PixelAt(out[1], 0, 1), (Px{4, 5, 6, 255}));
}

TEST(GifConvertTest, UndecodableFrameDrawsNothingButKeepsItsNumber)
{
    GifSpec fixture{.ScreenWidth = 2, .ScreenHeight = 1, .Palette = FourColours(), .LoopExtension = false, .Frames = {SolidGifFrame(0, 0, 2, 1, 1), SolidGifFrame(0, 0, 2, 1, 2), SolidGifFrame(0, 0, 1, 1, 3)}};
    Bytes gif = BuildGif(fixture);
    // Damage frame 1's LZW code size (offset after descriptor) so it cannot decode.
    std::size_t images = 0;
    for (std::size_t i = 13 + 12; i < gif.size(); ++i) {
        if (gif[i] == 0x2C && gif[i - 1] == 0 && ++images == 2) {
            gif[i + 10] = 0x0F;
            break;
        }
    }
    CollectedFrames frames;
    EXPECT_EQ(ConvertGifData(gif, frames.Sink()).Status, ConvertStatus::Converted);
    ASSERT_EQ(frames.Frames.size(), 3u);
    EXPECT_EQ(PixelAt(frames.Frames[1], 0, 0), Red);
    EXPECT_EQ(PixelAt(frames.Frames[2], 0, 0), Blue);
}

TEST(GifConvertTest, FilesAreNumberedBesideOrInAFolderAndSkippedWhenThere)
{
    TempDir dir;
    const std::string source = dir / "My.Anim.GIF";
    WriteFile(source, BuildGif({.ScreenWidth = 2, .ScreenHeight = 1, .Palette = FourColours(), .Frames = {SolidGifFrame(0, 0, 2, 1, 1), SolidGifFrame(0, 0, 1, 1, 2), SolidGifFrame(1, 0, 1, 1, 3)}}));

    ConvertResult r = ConvertDroppedFile(source);
    EXPECT_EQ(r.Status, ConvertStatus::Converted) << r.Reason;
    EXPECT_EQ(r.FramesWritten, 3u);
    EXPECT_EQ(ListFiles(dir / "My.Anim"),
              (std::vector<std::string>{"My.Anim_0000.png", "My.Anim_0001.png", "My.Anim_0002.png"}));
    EXPECT_EQ(PixelAt(ReadPng(dir / "My.Anim/My.Anim_0002.png"), 1, 0), Blue);
    EXPECT_EQ(ConvertDroppedFile(source).Status, ConvertStatus::Skipped);

    // Switch off: only frame 0's name is tested; other existing frames are kept.
    // Progress counts the kept frame too, so the file reaches its total.
    WriteFile(dir / "My.Anim_0001.png", {'k', 'e', 'e', 'p'});
    std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;
    r = ConvertDroppedFile(source, {.MakeFolder = false}, DefaultEncodeThreads(),
                           [&](std::uint64_t done, std::uint64_t total) { progress.emplace_back(done, total); });
    EXPECT_EQ(progress, (std::vector<std::pair<std::uint64_t, std::uint64_t>>{{1, 3}, {2, 3}, {3, 3}}));
    EXPECT_EQ(r.Status, ConvertStatus::Converted);
    EXPECT_EQ(r.FramesWritten, 2u);
    EXPECT_EQ(r.FramesExisting, 1u);
    EXPECT_EQ(ReadFile(dir / "My.Anim_0001.png"), (Bytes{'k', 'e', 'e', 'p'}));
    EXPECT_EQ(ConvertDroppedFile(source, {.MakeFolder = false}).Status, ConvertStatus::Skipped);
}

TEST(GifConvertTest, NothingIsMadeForNonAnimationsAndFailuresAreReported)
{
    TempDir dir;
    WriteFile(dir / "one.gif", BuildGif({.ScreenWidth = 2, .ScreenHeight = 2, .Palette = FourColours(), .Frames = {SolidGifFrame(0, 0, 2, 2, 1)}}));
    WriteFile(dir / "text.gif", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!', '!'});
    EXPECT_EQ(ConvertDroppedFile(dir / "one.gif").Status, ConvertStatus::NotAnimation);
    const ConvertResult text = ConvertDroppedFile(dir / "text.gif");
    EXPECT_EQ(text.Status, ConvertStatus::NotAnimation);
    EXPECT_EQ(text.Reason, "not a GIF file");
    EXPECT_EQ(ConvertDroppedFile(dir / "missing.gif").Status, ConvertStatus::Unreadable);
    EXPECT_EQ(ListFiles(dir.Path), (std::vector<std::string>{"one.gif", "text.gif"}));

    // A file where the output folder should be: the file fails and says why,
    // and no frame after the first is decoded.
    WriteFile(dir / "anim.gif", BuildGif({.ScreenWidth = 1, .ScreenHeight = 1, .Palette = FourColours(), .Frames = {SolidGifFrame(0, 0, 1, 1, 1), SolidGifFrame(0, 0, 1, 1, 2)}}));
    WriteFile(dir / "anim", {1});
    const ConvertResult blocked = ConvertFileWith(dir / "anim.gif", {}, OfferFiveFrames, nullptr, DefaultEncodeThreads());
    EXPECT_EQ(blocked.Status, ConvertStatus::Failed);
    EXPECT_EQ(blocked.Failure, FailureKind::FileSystem);
    EXPECT_EQ(blocked.Reason, "cannot create folder: a file of that name is in the way");
    EXPECT_EQ(framesOffered, 1);
    EXPECT_EQ(ReadFile(dir / "anim"), Bytes{1});
}

TEST(GifConvertTest, CanvasOverThePixelLimitIsRefusedBeforeAnythingIsWritten)
{
    TempDir dir;
    GifSpec fixture{.ScreenWidth = 1, .ScreenHeight = 1, .Palette = FourColours(), .Frames = {SolidGifFrame(0, 0, 1, 1, 1), SolidGifFrame(0, 0, 1, 1, 2)}};
    Bytes gif = BuildGif(fixture);
    // Move the second image to (65000, 65000): the canvas would be 65001 x 65001.
    std::size_t images = 0;
    for (std::size_t i = 13 + 12; i + 4 < gif.size(); ++i) {
        if (gif[i] == 0x2C && gif[i - 1] == 0 && ++images == 2) {
            gif[i + 1] = gif[i + 3] = 0xE8;
            gif[i + 2] = gif[i + 4] = 0xFD;
            break;
        }
    }
    WriteFile(dir / "big.gif", gif);
    const ConvertResult r = ConvertDroppedFile(dir / "big.gif");
    EXPECT_EQ(r.Status, ConvertStatus::Failed);
    EXPECT_NE(r.Reason.find("limit"), std::string::npos);
    EXPECT_EQ(ListFiles(dir.Path), std::vector<std::string>{"big.gif"});
}

}  // namespace
}  // namespace framelot

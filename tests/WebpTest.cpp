// Animated WebP: canvas growth, dispose and blend, and the background colour.
#include <gtest/gtest.h>

#include "convert/Dispatch.h"
#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"
#include "webp/WebpConvert.h"

namespace framelot {
namespace {

using namespace test;
using Px = std::vector<int>;  // RGBA

WebpFrameSpec Frame(int x, int y, int w, int h, Bytes rgba, bool disposeBackground = false, bool noBlend = false)
{
    return {x, y, w, h, std::move(rgba), disposeBackground, noBlend, false};
}

std::vector<Bitmap> Compose(const WebpSpec& fixture, ConvertStatus expected = ConvertStatus::Converted)
{
    CollectedFrames frames;
    const ConvertResult r = ConvertWebpData(BuildAnimatedWebp(fixture), frames.Sink());
    EXPECT_EQ(r.Status, expected) << r.Reason;
    return frames.Frames;
}

constexpr std::uint32_t WhiteBackground = 0xFFFFFFFF;  // blue, green, red, alpha

// A still and garbage are not animations; an animation cut short is damaged:
// its whole frames are written and the cut is said, and cut before its
// second frame it fails as damaged, never as a still.
TEST(WebpTest, StillsAndGarbageAreNotAnimationsCutFilesAreDamaged)
{
    CollectedFrames frames;
    EXPECT_EQ(ConvertWebpData(BuildStillWebp(2, 2, SolidRgba(2, 2, 1, 2, 3, 255)), frames.Sink()).Status,
              ConvertStatus::NotAnimation);
    EXPECT_EQ(ConvertWebpData(Bytes{'R', 'I', 'F', 'F'}, frames.Sink()).Status, ConvertStatus::NotAnimation);
    const Bytes anim = BuildAnimatedWebp({.CanvasWidth = 4, .CanvasHeight = 4, .Frames = {Frame(0, 0, 4, 4, SolidRgba(4, 4, 1, 2, 3, 255)),
                                                    Frame(0, 0, 4, 4, SolidRgba(4, 4, 3, 2, 1, 255))}});
    for (std::size_t n : {anim.size() - 1, anim.size() / 2, std::size_t{30}}) {
        const ConvertResult cut = ConvertWebpData(Bytes(anim.begin(), anim.begin() + static_cast<std::ptrdiff_t>(n)), frames.Sink());
        EXPECT_EQ(cut.Status, ConvertStatus::Failed) << n;
        EXPECT_EQ(cut.Failure, FailureKind::Damaged) << n;
        EXPECT_NE(cut.Reason.find("the file ends early"), std::string::npos) << cut.Reason;
        if (n == anim.size() - 1) {
            EXPECT_NE(cut.Reason.find(", after 1 whole frame: "), std::string::npos) << cut.Reason;
        }
    }
    EXPECT_TRUE(frames.Frames.empty());

    // Three frames cut inside the third: two are written, and the damage said.
    const Bytes three = BuildAnimatedWebp({.CanvasWidth = 4, .CanvasHeight = 4, .Frames = {Frame(0, 0, 4, 4, SolidRgba(4, 4, 1, 2, 3, 255)),
                                                     Frame(0, 0, 4, 4, SolidRgba(4, 4, 3, 2, 1, 255)),
                                                     Frame(0, 0, 4, 4, SolidRgba(4, 4, 9, 9, 9, 255))}});
    const ConvertResult partial = ConvertWebpData(Bytes(three.begin(), three.end() - 4), frames.Sink());
    EXPECT_EQ(partial.Status, ConvertStatus::Converted);
    EXPECT_EQ(frames.Frames.size(), 2u);
    EXPECT_NE(partial.Damage.find("after 2 whole frames"), std::string::npos) << partial.Damage;
}

TEST(WebpTest, CanvasIsFrameTwosExtentAndGrowsNeverToTheDeclaredSize)
{
    // Declared canvas 20 x 20; frame 1 is 2 x 2, frame 2 reaches (6, 4),
    // frame 3 reaches (8, 8): outputs are 6x4, 6x4, 8x8, never 20x20.
    const auto out = Compose({.CanvasWidth = 20, .CanvasHeight = 20, .Frames = {Frame(0, 0, 2, 2, SolidRgba(2, 2, 255, 0, 0, 255)),
                               Frame(4, 2, 2, 2, SolidRgba(2, 2, 0, 255, 0, 255)),
                               Frame(6, 6, 2, 2, SolidRgba(2, 2, 0, 0, 255, 255))}});
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].Width, 6);
    EXPECT_EQ(out[0].Height, 4);
    EXPECT_EQ(out[2].Width, 8);
    EXPECT_EQ(out[2].Height, 8);
    // The composition so far stays at the origin when the canvas grows.
    EXPECT_EQ(PixelAt(out[2], 0, 0), (Px{255, 0, 0, 255}));
    EXPECT_EQ(PixelAt(out[2], 4, 2), (Px{0, 255, 0, 255}));
    EXPECT_EQ(PixelAt(out[2], 7, 7), (Px{0, 0, 255, 255}));
    EXPECT_EQ(PixelAt(out[2], 7, 0)[3], 0);
}

TEST(WebpTest, TransparentPixelsCarryTheBackgroundColourAndFaintOnesTheirOwn)
{
    Bytes first = SolidRgba(2, 1, 0, 0, 0, 0);
    first[4] = 200, first[5] = 100, first[6] = 50, first[7] = 1;  // nearly transparent, its colour kept
    const auto out = Compose({.CanvasWidth = 2, .CanvasHeight = 1,
                              .Background = 0x00FF8040 /* red 0xFF, green 0x80, blue 0x40 */,
                              .Frames = {Frame(0, 0, 2, 1, first), Frame(0, 0, 2, 1, SolidRgba(2, 1, 0, 0, 0, 0))}});
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(PixelAt(out[0], 0, 0), (Px{0xFF, 0x80, 0x40, 0}));
    EXPECT_EQ(PixelAt(out[0], 1, 0), (Px{200, 100, 50, 1}));
}

TEST(WebpTest, DisposeBackgroundShowsFromTheNextFrameOn)
{
    const auto out = Compose({.CanvasWidth = 2, .CanvasHeight = 1, .Background = WhiteBackground, .Frames = {Frame(0, 0, 2, 1, SolidRgba(2, 1, 255, 0, 0, 255)),
                               Frame(0, 0, 1, 1, SolidRgba(1, 1, 0, 255, 0, 255), true),
                               Frame(0, 0, 2, 1, SolidRgba(2, 1, 0, 0, 0, 0))}});
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(PixelAt(out[1], 0, 0), (Px{0, 255, 0, 255}));
    EXPECT_EQ(PixelAt(out[2], 0, 0), (Px{255, 255, 255, 0}));
    EXPECT_EQ(PixelAt(out[2], 1, 0), (Px{255, 0, 0, 255}));
}

// The next frame draws inside the disposed rectangle: the clearing must come
// before it is drawn, or its own pixels would be cleared.
TEST(WebpTest, DisposeOfThePreviousFrameComesBeforeTheNextIsDrawn)
{
    const auto out = Compose({.CanvasWidth = 4, .CanvasHeight = 2,
                              .Frames = {Frame(0, 0, 4, 2, SolidRgba(4, 2, 255, 0, 0, 255), true),
                                         Frame(0, 0, 2, 2, SolidRgba(2, 2, 0, 255, 0, 255)),
                                         Frame(0, 0, 4, 2, SolidRgba(4, 2, 0, 0, 0, 0))}});
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(PixelAt(out[1], 0, 0), (Px{0, 255, 0, 255}));
    EXPECT_EQ(PixelAt(out[1], 3, 1)[3], 0);
    EXPECT_EQ(PixelAt(out[2], 1, 1), (Px{0, 255, 0, 255}));
}

TEST(WebpTest, NoBlendReplacesWithAlphaAndOpaqueFramesReplaceOutright)
{
    const auto out = Compose({.CanvasWidth = 2, .CanvasHeight = 1, .Frames = {Frame(0, 0, 2, 1, SolidRgba(2, 1, 255, 0, 0, 255)),
                               Frame(0, 0, 2, 1, SolidRgba(2, 1, 0, 0, 255, 128), false, true),
                               Frame(0, 0, 1, 1, SolidRgba(1, 1, 0, 0, 255, 128)),
                               Frame(0, 0, 2, 1, SolidRgba(2, 1, 9, 9, 9, 255))}});
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(PixelAt(out[1], 0, 0), (Px{0, 0, 255, 128}));  // no blend: the red below is gone
    EXPECT_EQ(PixelAt(out[2], 0, 0), (Px{0, 0, 255, 192}));  // blend: blue over half-blue
    EXPECT_EQ(PixelAt(out[3], 1, 0), (Px{9, 9, 9, 255}));
}

TEST(WebpTest, FilesAreWrittenAndNumberedFromZero)
{
    TempDir dir;
    WebpSpec fixture{.CanvasWidth = 2, .CanvasHeight = 2};
    for (int i = 0; i < 5; ++i) fixture.Frames.push_back(Frame(0, 0, 2, 2, SolidRgba(2, 2, std::uint8_t(i * 50), 0, 0, 255)));
    WriteFile(dir / "a.webp", BuildAnimatedWebp(fixture));
    const ConvertResult r = ConvertDroppedFile(dir / "a.webp");
    EXPECT_EQ(r.Status, ConvertStatus::Converted);
    EXPECT_EQ(r.FramesWritten, 5u);
    EXPECT_EQ(ListFiles(dir / "a").back(), "a_0004.png");
    EXPECT_EQ(PixelAt(ReadPng(dir / "a/a_0004.png"), 1, 1), (Px{200, 0, 0, 255}));
}

}  // namespace
}  // namespace framelot

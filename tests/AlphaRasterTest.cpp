// Pixel effects of the raster operations and the alpha conversions.
#include <gtest/gtest.h>

#include "imaging/Alpha.h"
#include "imaging/Raster.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using test::PixelAt;
using test::SolidBitmap;
using Px = std::vector<int>;

TEST(AlphaTest, PremultiplyIsFloorOfColourTimesAlpha)
{
    struct Case { Px In, Out; };
    const Case cases[] = {
        {{200, 100, 50, 0}, {0, 0, 0, 0}},
        {{200, 100, 50, 255}, {200, 100, 50, 255}},
        {{255, 255, 255, 127}, {127, 127, 127, 127}},
        {{255, 0, 0, 128}, {128, 0, 0, 128}},
        {{1, 0, 0, 254}, {0, 0, 0, 254}},
    };
    for (const Case& c : cases) {
        Bitmap b = SolidBitmap(1, 1, c.In[0], c.In[1], c.In[2], c.In[3]);
        PremultiplyAlpha(b);
        EXPECT_EQ(PixelAt(b, 0, 0), c.Out);
    }
}

TEST(AlphaTest, UnpremultiplyTruncatesAndClampsMalformedColour)
{
    Bitmap b = SolidBitmap(4, 1, 0, 0, 0, 0);
    const std::uint8_t pixels[] = {50, 100, 200, 128, /* premultiplied below */ 9, 9, 9, 0, 1, 254, 255, 10, 9, 8, 7, 255};
    std::copy(std::begin(pixels), std::end(pixels), b.Pixels.begin());
    PremultiplyAlpha(b);  // pixel 0: 25, 50, 100; pixel 2: 0, 9, 10 (pixel 1 alpha 0 -> 0)
    b.Pixels[10] = 200;   // colour above alpha: not valid premultiplied data
    UnpremultiplyAlpha(b);
    EXPECT_EQ(PixelAt(b, 0, 0), (Px{49, 99, 199, 128}));
    EXPECT_EQ(PixelAt(b, 1, 0), (Px{0, 0, 0, 0}));
    EXPECT_EQ(PixelAt(b, 2, 0), (Px{0, 229, 255, 10}));  // 200*255/10 capped; 9*255/10 = 229
    EXPECT_EQ(PixelAt(b, 3, 0), (Px{9, 8, 7, 255}));
}

TEST(RasterTest, FillTakesRedFromTheLowByteAndClearsAlpha)
{
    Bitmap b = SolidBitmap(3, 3, 9, 9, 9, 255);
    FillRect(b, Rect{1, 1, 5, 5}, 0x00332211);  // clipped at the right and bottom
    EXPECT_EQ(PixelAt(b, 0, 0), (Px{9, 9, 9, 255}));
    EXPECT_EQ(PixelAt(b, 1, 1), (Px{0x11, 0x22, 0x33, 0}));
    EXPECT_EQ(PixelAt(b, 2, 2), (Px{0x11, 0x22, 0x33, 0}));
    FillRect(b, Rect{0, 0, 3, 3}, 0);
    EXPECT_EQ(b.Pixels, std::vector<std::uint8_t>(36, 0));
}

TEST(RasterTest, CopyTakesAllFourBytesAndClipsAtEveryEdge)
{
    const Bitmap src = SolidBitmap(2, 2, 3, 2, 1, 0);  // alpha 0 is copied too
    struct Case { std::int64_t X, Y; int Changed; };
    const Case cases[] = {{0, 0, 4}, {-1, -1, 1}, {3, 3, 1}, {4, 0, 0}, {-2, 0, 0}, {1LL << 40, 0, 0}, {-(1LL << 40), 0, 0}};
    for (const Case& c : cases) {
        Bitmap dst = SolidBitmap(4, 4, 9, 9, 9, 255);
        CopyBlock(dst, c.X, c.Y, src, 2, 2);
        int changed = 0;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) changed += PixelAt(dst, x, y) == Px{3, 2, 1, 0};
        EXPECT_EQ(changed, c.Changed) << c.X << "," << c.Y;
    }
    Bitmap dst = SolidBitmap(4, 4, 9, 9, 9, 255);
    CopyBlock(dst, 0, 0, src, 100, 100);  // a block larger than the source stops at its edge
    EXPECT_EQ(PixelAt(dst, 2, 2), (Px{9, 9, 9, 255}));
}

TEST(RasterTest, BlendIdentitiesAndRounding)
{
    Bitmap dst = SolidBitmap(3, 1, 30, 20, 10, 200);
    Bitmap src = MakeBitmap(3, 1);
    const std::uint8_t px[] = {0, 0, 0, 0, 60, 50, 40, 255, 0, 0, 64, 128};
    std::copy(std::begin(px), std::end(px), src.Pixels.begin());
    BlendBlock(dst, 0, 0, src, 3, 1);
    EXPECT_EQ(PixelAt(dst, 0, 0), (Px{30, 20, 10, 200}));  // transparent leaves it exactly
    EXPECT_EQ(PixelAt(dst, 1, 0), (Px{60, 50, 40, 255}));  // opaque replaces it exactly
    // 64 + round(10 * 127 / 255) = 64 + 5; alpha 128 + round(200 * 127 / 255) = 128 + 100
    EXPECT_EQ(PixelAt(dst, 2, 0), (Px{15, 10, 69, 228}));
}

TEST(RasterTest, StraightBlendRoundsEachChannelToNearest)
{
    // Colour 1 at alpha 128 over black: (1 * 128 * 255 + 0) / (128 * 255 + 255 * 127) = 0.502, so 1;
    // truncation would give 0. 200 at alpha 1 over 100 opaque: 100.39, so 100.
    Bitmap dst = SolidBitmap(2, 1, 0, 0, 0, 255);
    Bitmap src = MakeBitmap(2, 1);
    const std::uint8_t px[] = {1, 1, 1, 128, 200, 200, 200, 1};
    std::copy(std::begin(px), std::end(px), src.Pixels.begin());
    dst.Pixels[4] = dst.Pixels[5] = dst.Pixels[6] = 100;
    BlendBlockStraight(dst, 0, 0, src, 2, 1);
    EXPECT_EQ(PixelAt(dst, 0, 0), (Px{1, 1, 1, 255}));
    EXPECT_EQ(PixelAt(dst, 1, 0), (Px{100, 100, 100, 255}));
    // Half over half: alpha 128 + 128 * 127 / 255 = 191.75, so 192; colour
    // (10 * 128 * 255 + 250 * 128 * 127) / (192 * 255) = 89.6..., so 90.
    Bitmap half = SolidBitmap(1, 1, 250, 250, 250, 128);
    BlendBlockStraight(half, 0, 0, SolidBitmap(1, 1, 10, 10, 10, 128), 1, 1);
    EXPECT_EQ(PixelAt(half, 0, 0), (Px{90, 90, 90, 192}));
}

TEST(RasterTest, BlendKeepsAnOpaqueCanvasOpaque)
{
    // A faint source blended many times must neither wrap nor lose alpha.
    Bitmap dst = SolidBitmap(1, 1, 0, 255, 0, 255);
    const Bitmap src = SolidBitmap(1, 1, 0, 2, 0, 2);
    for (int i = 0; i < 127; ++i) BlendBlock(dst, 0, 0, src, 1, 1);
    EXPECT_EQ(PixelAt(dst, 0, 0), (Px{0, 255, 0, 255}));
}

TEST(RasterTest, RegionSavedAndRestoredAndGrowthKeepsTheOrigin)
{
    Bitmap b = SolidBitmap(3, 3, 1, 1, 1, 255);
    Bitmap saved;
    Rect savedRect;
    SaveRegion(b, Rect{2, 2, 5, 5}, saved, savedRect);
    EXPECT_EQ(savedRect.Width, 1);
    FillRect(b, Rect{0, 0, 3, 3}, 0);
    RestoreRegion(b, saved, savedRect);
    EXPECT_EQ(PixelAt(b, 2, 2), (Px{1, 1, 1, 255}));
    EXPECT_EQ(PixelAt(b, 1, 1), (Px{0, 0, 0, 0}));

    GrowBitmap(b, 5, 4);
    EXPECT_EQ(b.Width, 5);
    EXPECT_EQ(b.Height, 4);
    EXPECT_EQ(PixelAt(b, 2, 2), (Px{1, 1, 1, 255}));
    EXPECT_EQ(PixelAt(b, 4, 3), (Px{0, 0, 0, 0}));
    GrowBitmap(b, 1, 1);  // never shrinks
    EXPECT_EQ(b.Width, 5);
}

}  // namespace
}  // namespace framelot

// Decoding one stand-alone GIF or PNG into straight BGRA.
#include <gtest/gtest.h>

#include "imaging/Decode.h"
#include "tests/FixtureBuilders.h"
#include "tests/TestSupport.h"

namespace framelot {
namespace {

using namespace test;
using Px = std::vector<int>;

TEST(DecodeTest, PngComesOutTopDownInBgra)
{
    Bytes rgba;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) rgba.insert(rgba.end(), {std::uint8_t(10 * x), std::uint8_t(100 + y), 7, 128});
    const auto b = DecodeToDib(BuildPlainPng(3, 2, rgba));
    ASSERT_TRUE(b);
    EXPECT_EQ(b->Width, 3);
    EXPECT_EQ(b->Height, 2);
    EXPECT_EQ(PixelAt(*b, 0, 0), (Px{7, 100, 0, 128}));  // straight colour, first row on top
    EXPECT_EQ(PixelAt(*b, 2, 1), (Px{7, 101, 20, 128}));
}

TEST(DecodeTest, GifTransparentIndexIsAllZeroAndOthersOpaque)
{
    GifSpec fixture{4, 1, FourColours(), 0, false, false, {}};
    GifFrameSpec f = SolidGifFrame(0, 0, 4, 1, 0, 1);
    f.Indices = {0, 1, 2, 3};
    f.Transparent = 2;
    fixture.Frames = {f};
    const auto b = DecodeToDib(BuildGif(fixture));
    ASSERT_TRUE(b);
    EXPECT_EQ(PixelAt(*b, 0, 0), (Px{0, 0, 0, 255}));
    EXPECT_EQ(PixelAt(*b, 1, 0), (Px{0, 0, 255, 255}));
    EXPECT_EQ(PixelAt(*b, 2, 0), (Px{0, 0, 0, 0}));
    EXPECT_EQ(PixelAt(*b, 3, 0), (Px{255, 0, 0, 255}));
}

TEST(DecodeTest, InterlacedGifRowsComeOutInDisplayOrder)
{
    GifSpec fixture{1, 10, FourColours(), 0, false, false, {}};
    GifFrameSpec f = SolidGifFrame(0, 0, 1, 10, 0, 1);
    for (int y = 0; y < 10; ++y) f.Indices[y] = static_cast<std::uint8_t>(y % 4);
    f.Interlace = true;
    fixture.Frames = {f};
    const auto b = DecodeToDib(BuildGif(fixture));
    ASSERT_TRUE(b);
    for (int y = 0; y < 10; ++y) {
        const Rgb c = FourColours()[y % 4];
        EXPECT_EQ(PixelAt(*b, 0, y), (Px{c[2], c[1], c[0], 255})) << y;
    }
}

TEST(DecodeTest, GarbageTruncatedAndOversizedInputGiveNothing)
{
    const Bytes png = BuildPlainPng(2, 2, SolidRgba(2, 2, 1, 2, 3, 4));
    GifSpec fixture{2, 2, FourColours(), 0, false, false, {SolidGifFrame(0, 0, 2, 2, 1)}};
    const Bytes gif = BuildGif(fixture);

    EXPECT_FALSE(DecodeToDib(Bytes{}));
    EXPECT_FALSE(DecodeToDib(Bytes{'h', 'e', 'l', 'l', 'o'}));
    EXPECT_FALSE(DecodeToDib(Bytes(png.begin(), png.begin() + 40)));
    EXPECT_FALSE(DecodeToDib(Bytes(gif.begin(), gif.begin() + 30)));

    // A header claiming 100000 x 100000 pixels is refused before any allocation.
    Bytes huge = png;
    huge[16] = 0, huge[17] = 1, huge[18] = 0x86, huge[19] = 0xA0;
    huge[20] = 0, huge[21] = 1, huge[22] = 0x86, huge[23] = 0xA0;
    EXPECT_FALSE(DecodeToDib(huge));
    Bytes hugeGif = gif;
    // Image descriptor width and height at 65535 x 65535 (over the pixel limit).
    for (std::size_t i = 13 + 12; i + 9 < hugeGif.size(); ++i) {
        if (hugeGif[i] == 0x2C) {
            hugeGif[i + 5] = hugeGif[i + 6] = hugeGif[i + 7] = hugeGif[i + 8] = 0xFF;
            break;
        }
    }
    EXPECT_FALSE(DecodeToDib(hugeGif));
}

}  // namespace
}  // namespace framelot

// Decoding one stand-alone GIF or PNG into straight RGBA.
#include <gtest/gtest.h>

#include "apng/PngDecode.h"
#include "gif/GifDecode.h"
#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;
using Px = std::vector<int>;

// An 8-bit value from a sample of `depth` bits, as a viewer shows it.
int ToEightBits(int v, int depth)
{
    const int top = (1 << depth) - 1;
    return (v * 255 + top / 2) / top;
}

// Every colour type at every bit depth it allows, interlaced and not, from
// known samples: each pixel must come out where it was put, with the value it
// has. 5 x 9 pixels put at least one pixel in each of the seven Adam7 passes.
TEST(DecodeTest, PngOfEveryColourTypeAndDepthComesOutExactly)
{
    const std::pair<int, std::vector<int>> kinds[] = {
        {0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}};
    constexpr std::uint32_t Width = 5, Height = 9;
    for (const auto& [colourType, depths] : kinds) {
        for (int depth : depths) {
            for (bool interlaced : {false, true}) {
                const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
                const int levels = colourType == 3 ? std::min(1 << depth, 7) : 1 << depth;
                StillPngSpec fixture{.Width = Width, .Height = Height, .ColourType = colourType, .BitDepth = depth,
                                     .Interlaced = interlaced};
                auto sample = [&](std::uint32_t x, std::uint32_t y, int c) {
                    return static_cast<int>((x * 37 + y * 11 + static_cast<std::uint32_t>(c) * 73 + 5) % levels);
                };
                for (std::uint32_t y = 0; y < Height; ++y)
                    for (std::uint32_t x = 0; x < Width; ++x)
                        for (int c = 0; c < channels; ++c) fixture.Samples.push_back(std::uint16_t(sample(x, y, c)));
                if (colourType == 3) {
                    for (int i = 0; i < levels; ++i) fixture.Palette.push_back({std::uint8_t(30 * i), std::uint8_t(200 - 20 * i), std::uint8_t(i)});
                }
                Bitmap b;
                const std::string name = "type " + std::to_string(colourType) + ", " + std::to_string(depth) +
                                         " bits" + (interlaced ? ", interlaced" : "");
                ASSERT_TRUE(DecodePngInto(BuildStillPng(fixture), b)) << name;
                ASSERT_EQ(b.Width, int(Width));
                ASSERT_EQ(b.Height, int(Height));
                for (std::uint32_t y = 0; y < Height; ++y) {
                    for (std::uint32_t x = 0; x < Width; ++x) {
                        auto v = [&](int c) { return ToEightBits(sample(x, y, c), depth); };
                        Px expected;
                        switch (colourType) {
                        case 0: expected = {v(0), v(0), v(0), 255}; break;
                        case 2: expected = {v(0), v(1), v(2), 255}; break;
                        case 4: expected = {v(0), v(0), v(0), v(1)}; break;
                        case 6: expected = {v(0), v(1), v(2), v(3)}; break;
                        default: {
                            const Rgb& p = fixture.Palette[static_cast<std::size_t>(sample(x, y, 0))];
                            expected = {p[0], p[1], p[2], 255};
                        }
                        }
                        ASSERT_EQ(PixelAt(b, int(x), int(y)), expected) << name << " at " << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST(DecodeTest, PngTransparencyChunkBecomesAlpha)
{
    // Palette alpha, and the colour keys of grey and RGB images at 8 and 16 bits.
    StillPngSpec palette{.Width = 3, .Height = 1, .ColourType = 3, .BitDepth = 8, .Samples = {0, 1, 2},
                         .Palette = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, .PaletteAlpha = {0, 128}};
    Bitmap b;
    ASSERT_TRUE(DecodePngInto(BuildStillPng(palette), b));
    EXPECT_EQ(PixelAt(b, 0, 0), (Px{1, 2, 3, 0}));
    EXPECT_EQ(PixelAt(b, 1, 0), (Px{4, 5, 6, 128}));
    EXPECT_EQ(PixelAt(b, 2, 0), (Px{7, 8, 9, 255}));  // past the tRNS entries: opaque

    StillPngSpec grey{.Width = 2, .Height = 1, .ColourType = 0, .BitDepth = 16, .Interlaced = true,
                      .Samples = {0x1234, 0xFFFF}, .TransparentKey = {0x1234}};
    ASSERT_TRUE(DecodePngInto(BuildStillPng(grey), b));
    EXPECT_EQ(PixelAt(b, 0, 0)[3], 0);
    EXPECT_EQ(PixelAt(b, 1, 0), (Px{255, 255, 255, 255}));

    StillPngSpec rgb{.Width = 2, .Height = 1, .ColourType = 2, .BitDepth = 8, .Samples = {1, 2, 3, 1, 2, 4},
                     .TransparentKey = {1, 2, 3}};
    ASSERT_TRUE(DecodePngInto(BuildStillPng(rgb), b));
    EXPECT_EQ(PixelAt(b, 0, 0)[3], 0);
    EXPECT_EQ(PixelAt(b, 1, 0), (Px{1, 2, 4, 255}));
}

TEST(DecodeTest, GifTransparentIndexIsAllZeroAndOthersOpaque)
{
    GifFrameSpec f = SolidGifFrame(0, 0, 4, 1, 0, 1);
    f.Indices = {0, 1, 2, 3};
    f.Transparent = 2;
    const GifSpec fixture{.ScreenWidth = 4, .ScreenHeight = 1, .Palette = FourColours(), .LoopExtension = false,
                          .Frames = {f}};
    Bitmap b;
    ASSERT_TRUE(DecodeGifInto(BuildGif(fixture), b));
    EXPECT_EQ(PixelAt(b, 0, 0), (Px{0, 0, 0, 255}));
    EXPECT_EQ(PixelAt(b, 1, 0), (Px{255, 0, 0, 255}));
    EXPECT_EQ(PixelAt(b, 2, 0), (Px{0, 0, 0, 0}));
    EXPECT_EQ(PixelAt(b, 3, 0), (Px{0, 0, 255, 255}));
}

TEST(DecodeTest, InterlacedGifRowsComeOutInDisplayOrder)
{
    GifFrameSpec f = SolidGifFrame(0, 0, 1, 10, 0, 1);
    for (int y = 0; y < 10; ++y) f.Indices[y] = static_cast<std::uint8_t>(y % 4);
    f.Interlace = true;
    const GifSpec fixture{.ScreenWidth = 1, .ScreenHeight = 10, .Palette = FourColours(), .LoopExtension = false,
                          .Frames = {f}};
    Bitmap b;
    ASSERT_TRUE(DecodeGifInto(BuildGif(fixture), b));
    for (int y = 0; y < 10; ++y) {
        const Rgb c = FourColours()[y % 4];
        EXPECT_EQ(PixelAt(b, 0, y), (Px{c[0], c[1], c[2], 255})) << y;
    }
}

TEST(DecodeTest, GarbageTruncatedAndOversizedInputGiveNothing)
{
    const Bytes png = BuildPlainPng(2, 2, SolidRgba(2, 2, 1, 2, 3, 4));
    const GifSpec fixture{.ScreenWidth = 2, .ScreenHeight = 2, .Palette = FourColours(), .LoopExtension = false,
                          .Frames = {SolidGifFrame(0, 0, 2, 2, 1)}};
    const Bytes gif = BuildGif(fixture);
    Bitmap b;
    EXPECT_FALSE(DecodePngInto(Bytes{}, b));
    EXPECT_FALSE(DecodeGifInto(Bytes{}, b));
    EXPECT_FALSE(DecodePngInto(Bytes{'h', 'e', 'l', 'l', 'o'}, b));
    EXPECT_FALSE(DecodePngInto(Bytes(png.begin(), png.begin() + 40), b));
    EXPECT_FALSE(DecodeGifInto(Bytes(gif.begin(), gif.begin() + 30), b));

    // A header claiming 100000 x 100000 pixels is refused before any allocation.
    Bytes huge = png;
    huge[16] = 0, huge[17] = 1, huge[18] = 0x86, huge[19] = 0xA0;
    huge[20] = 0, huge[21] = 1, huge[22] = 0x86, huge[23] = 0xA0;
    EXPECT_FALSE(DecodePngInto(huge, b));
    Bytes hugeGif = gif;
    // Image descriptor width and height at 65535 x 65535 (over the pixel limit).
    for (std::size_t i = 13 + 12; i + 9 < hugeGif.size(); ++i) {
        if (hugeGif[i] == 0x2C) {
            hugeGif[i + 5] = hugeGif[i + 6] = hugeGif[i + 7] = hugeGif[i + 8] = 0xFF;
            break;
        }
    }
    EXPECT_FALSE(DecodeGifInto(hugeGif, b));
}

}  // namespace
}  // namespace framelot

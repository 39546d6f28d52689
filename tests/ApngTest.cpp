// APNG: the chunk walk, the per-frame rebuild and the dispose/blend rules.
#include <gtest/gtest.h>

#include "apng/ApngConvert.h"
#include "apng/ApngRebuild.h"
#include "apng/ApngWalk.h"
#include "imaging/Decode.h"
#include "tests/FixtureBuilders.h"
#include "tests/TestSupport.h"

namespace framelot {
namespace {

using namespace test;
using Px = std::vector<int>;  // BGRA

ApngFrameSpec Frame(std::uint32_t w, std::uint32_t h, std::uint32_t x, std::uint32_t y, std::uint8_t dispose,
                    std::uint8_t blend, Bytes rgba)
{
    return {w, h, x, y, dispose, blend, std::move(rgba)};
}

std::vector<Bitmap> Compose(const Bytes& png, ConvertStatus expected = ConvertStatus::Converted)
{
    CollectedFrames frames;
    const ConvertResult r = ConvertApngData(png, frames.Sink());
    EXPECT_EQ(r.Status, expected) << r.Reason;
    return frames.Frames;
}

TEST(ApngTest, PlainPngAndOneFrameApngAreNotAnimations)
{
    EXPECT_TRUE(Compose(BuildPlainPng(2, 2, SolidRgba(2, 2, 1, 2, 3, 255)), ConvertStatus::NotAnimation).empty());
    ApngSpec one{2, 2, 6, {}, {}, true, {}, 0, {Frame(2, 2, 0, 0, 0, 0, SolidRgba(2, 2, 1, 2, 3, 255))}};
    EXPECT_TRUE(Compose(BuildApng(one), ConvertStatus::NotAnimation).empty());
    EXPECT_EQ(ConvertApngData(Bytes(20, 0), {}).Status, ConvertStatus::NotAnimation);
}

TEST(ApngTest, FrameCodePackingAndReading)
{
    EXPECT_EQ(ApngFrameCode(0, 0, 0, true), -1);
    EXPECT_EQ(ApngFrameCode(2, 0, 0, false), 2);   // previous on frame 0 counts as background
    EXPECT_EQ(ApngFrameCode(2, 1, 0, false), 10);
    EXPECT_EQ(ApngFrameCode(2, 0, 1, false), 3);
    EXPECT_EQ(ApngFrameCode(2, 1, 1, false), 11);
    const std::tuple<int, bool, ApngDispose> table[] = {
        {1, false, ApngDispose::None},     {2, false, ApngDispose::Background}, {3, false, ApngDispose::Previous},
        {5, false, ApngDispose::None},     {8, true, ApngDispose::None},        {9, true, ApngDispose::None},
        {-10, true, ApngDispose::Background}, {11, true, ApngDispose::Previous}};
    for (auto [code, over, dispose] : table) {
        EXPECT_EQ(ReadApngFrameCode(code).BlendOver, over) << code;
        EXPECT_EQ(ReadApngFrameCode(code).Dispose, dispose) << code;
    }
}

TEST(ApngTest, DefaultImageIsFrameZeroOnlyWhenItsFctlComesFirst)
{
    ApngSpec fixture{2, 1, 6, {}, {}, false, SolidRgba(2, 1, 255, 0, 0, 255), 0,
                  {Frame(2, 1, 0, 0, 0, 0, SolidRgba(2, 1, 0, 255, 0, 255)),
                   Frame(1, 1, 1, 0, 0, 0, SolidRgba(1, 1, 0, 0, 255, 255))}};
    Rect r;
    int code = 0;
    EXPECT_EQ(GetApngFrameInfo(BuildApng(fixture), 0, r, code), 2);
    EXPECT_GT(code, 0);  // data in fdAT
    auto out = Compose(BuildApng(fixture));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(PixelAt(out[0], 0, 0), (Px{0, 255, 0, 255}));
    EXPECT_EQ(PixelAt(out[1], 1, 0), (Px{255, 0, 0, 255}));

    fixture.DefaultImageIsFrame = true;
    GetApngFrameInfo(BuildApng(fixture), 0, r, code);
    EXPECT_LT(code, 0);
    out = Compose(BuildApng(fixture));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(PixelAt(out[0], 0, 0), (Px{0, 255, 0, 255}));
}

// Frame 0 opaque red 2x1; frame 1 half-transparent green at (1,0) 1x1 with the
// given dispose and blend; frame 2 a fully transparent 2x1 drawn over. The
// third output shows what frame 1's dispose left.
TEST(ApngTest, DisposeAndBlendMatrix)
{
    struct Case { std::uint8_t D0, D1, B1; Px Second1, Third0, Third1; };
    const Px Red = {0, 0, 255, 255}, Clear = {0, 0, 0, 0};
    const Px GreenOverRed = {0, 128, 127, 255}, Green = {0, 255, 0, 128};
    const Case cases[] = {
        {0, 0, 0, Green, Red, Green},            // source: replaces, alpha included
        {0, 0, 1, GreenOverRed, Red, GreenOverRed},
        {0, 1, 0, Green, Red, Clear},            // background clears to transparent black
        {0, 1, 1, GreenOverRed, Red, Clear},
        {0, 2, 0, Green, Red, Red},              // previous restores what lay there
        {0, 2, 1, GreenOverRed, Red, Red},
        {1, 0, 1, Green, Clear, Green},          // frame 0 disposed to background
        {2, 0, 1, Green, Clear, Green},          // previous on frame 0 acts as background
    };
    for (const Case& c : cases) {
        ApngSpec fixture{2, 1, 6, {}, {}, true, {}, 0,
                      {Frame(2, 1, 0, 0, c.D0, 0, SolidRgba(2, 1, 255, 0, 0, 255)),
                       Frame(1, 1, 1, 0, c.D1, c.B1, SolidRgba(1, 1, 0, 255, 0, 128)),
                       Frame(2, 1, 0, 0, 0, 1, SolidRgba(2, 1, 0, 0, 0, 0))}};
        const auto out = Compose(BuildApng(fixture));
        const std::string name = "dispose " + std::to_string(c.D0) + "/" + std::to_string(c.D1) + " blend " +
                                 std::to_string(c.B1);
        ASSERT_EQ(out.size(), 3u) << name;
        EXPECT_EQ(PixelAt(out[1], 1, 0), c.Second1) << name;
        EXPECT_EQ(PixelAt(out[2], 0, 0), c.Third0) << name;
        EXPECT_EQ(PixelAt(out[2], 1, 0), c.Third1) << name;
    }
}

TEST(ApngTest, SavedColourIsStraightThroughTheTruncatingRoundTrip)
{
    ApngSpec fixture{1, 1, 6, {}, {}, true, {}, 0,
                  {Frame(1, 1, 0, 0, 0, 0, SolidRgba(1, 1, 50, 100, 200, 128)),
                   Frame(1, 1, 0, 0, 0, 0, SolidRgba(1, 1, 50, 100, 200, 0))}};
    const auto out = Compose(BuildApng(fixture));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(PixelAt(out[0], 0, 0), (Px{199, 99, 49, 128}));
    EXPECT_EQ(PixelAt(out[1], 0, 0), (Px{0, 0, 0, 0}));  // blend source punches a hole
}

TEST(ApngTest, LaterFramesAreClippedToTheFirstFramesCanvas)
{
    ApngSpec fixture{4, 4, 6, {}, {}, true, {}, 0,
                  {Frame(2, 2, 0, 0, 0, 0, SolidRgba(2, 2, 255, 0, 0, 255)),
                   Frame(3, 3, 1, 1, 0, 0, SolidRgba(3, 3, 0, 0, 255, 255))}};
    const auto out = Compose(BuildApng(fixture));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].Width, 2);
    EXPECT_EQ(PixelAt(out[1], 1, 1), (Px{255, 0, 0, 255}));
    EXPECT_EQ(PixelAt(out[1], 0, 1), (Px{0, 0, 255, 255}));
}

TEST(ApngTest, PaletteAndTransparencyReachEveryFrame)
{
    ApngSpec fixture{2, 1, 3, {255, 0, 0, 0, 0, 255}, {255, 0}, true, {}, 0,
                  {Frame(2, 1, 0, 0, 0, 0, {0, 0}), Frame(2, 1, 0, 0, 0, 1, {1, 0})}};
    const Bytes png = BuildApng(fixture);
    std::vector<std::uint8_t> rebuilt;
    Rect r;
    int code = 0;
    for (int k = 0; k < 2; ++k) {
        GetApngFrameInfo(png, k, r, code);
        BuildFramePng(png, k, code, rebuilt);
        const std::string text(rebuilt.begin(), rebuilt.end());
        EXPECT_NE(text.find("PLTE"), std::string::npos);
        EXPECT_NE(text.find("tRNS"), std::string::npos);
        EXPECT_LE(rebuilt.size(), png.size());
    }
    const auto out = Compose(png);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(PixelAt(out[1], 0, 0), (Px{0, 0, 255, 255}));  // index 1 is transparent: frame 0 shows
}

TEST(ApngTest, OnlyTheFirstPaletteAndTransparencyAreCarried)
{
    // Copies of PLTE/tRNS would otherwise be carried into every frame: a small
    // file could cost (copies x frames) work.
    ApngSpec fixture{2, 1, 3, {255, 0, 0, 0, 0, 255}, {255, 0}, true, {}, 0,
                     {Frame(2, 1, 0, 0, 0, 0, {0, 0}), Frame(2, 1, 0, 0, 0, 1, {1, 0})}};
    Bytes png = BuildApng(fixture);
    Bytes copies;
    for (int i = 0; i < 50; ++i) AppendPngChunk(copies, "tRNS", {255, 0});
    png.insert(png.begin() + 33, copies.begin(), copies.end());
    const ApngIndex index = IndexApng(png, 10);
    EXPECT_EQ(index.Carried.size(), 2u);
    const auto out = Compose(png);
    ASSERT_EQ(out.size(), 2u);
}

TEST(ApngTest, FdatBecomesIdatWithAFreshCrc)
{
    EXPECT_EQ(PngCrc32(Bytes{'I', 'E', 'N', 'D'}), 0xAE426082u);
    // Hand-made file: an fdAT of length 4 and one of length 1004.
    ApngSpec fixture{1, 1, 6, {}, {}, true, {}, 0,
                  {Frame(1, 1, 0, 0, 0, 0, SolidRgba(1, 1, 1, 2, 3, 255)), Frame(1, 1, 0, 0, 0, 0, SolidRgba(1, 1, 1, 2, 3, 255))}};
    Bytes png = BuildApng(fixture);
    png.resize(png.size() - 12);  // drop IEND
    Bytes four = {0, 0, 0, 9};
    AppendPngChunk(png, "fdAT", four);
    Bytes big(1004, 0xAB);
    AppendPngChunk(png, "fdAT", big);
    AppendPngChunk(png, "IEND", {});
    std::vector<std::uint8_t> out;
    ASSERT_GT(BuildFramePng(png, 1, 1, out), 0u);
    // Find the two new IDATs (after the frame's real one).
    std::vector<std::size_t> idats;
    for (std::size_t i = 33; i + 4 <= out.size(); ++i)
        if (std::equal(out.begin() + i, out.begin() + i + 4, "IDAT")) idats.push_back(i);
    ASSERT_EQ(idats.size(), 3u);
    const std::size_t empty = idats[1], large = idats[2];
    EXPECT_EQ(out[empty - 1], 0);  // length 0
    EXPECT_EQ(out[large - 2], 1000 >> 8);
    EXPECT_EQ(out[large - 1], 1000 & 0xFF);
    EXPECT_EQ(out[large + 4], 0xAB);
    const std::uint32_t crc = PngCrc32(std::span(out).subspan(empty, 4));
    EXPECT_EQ(out[empty + 4], crc >> 24);
    EXPECT_EQ(out[empty + 7], crc & 0xFF);
    EXPECT_EQ(BuildFramePng(png, 5, 1, out), 0u);  // no such frame: empty result
}

TEST(ApngTest, MoreFramesAnnouncedThanPresentAreWrittenUndrawn)
{
    ApngSpec fixture{1, 1, 6, {}, {}, true, {}, 4,
                  {Frame(1, 1, 0, 0, 0, 0, SolidRgba(1, 1, 255, 0, 0, 255)), Frame(1, 1, 0, 0, 0, 0, SolidRgba(1, 1, 0, 255, 0, 255))}};
    const auto out = Compose(BuildApng(fixture));
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(PixelAt(out[3], 0, 0), (Px{0, 255, 0, 255}));
}

TEST(ApngTest, UndecodableFrameZeroFailsAndLaterOnesDrawNothing)
{
    ApngSpec fixture{1, 1, 6, {}, {}, true, {}, 0,
                  {Frame(1, 1, 0, 0, 0, 0, SolidRgba(1, 1, 255, 0, 0, 255)), Frame(1, 1, 0, 0, 0, 0, SolidRgba(1, 1, 0, 255, 0, 255)),
                   Frame(1, 1, 0, 0, 0, 0, SolidRgba(1, 1, 0, 0, 255, 255))}};
    Bytes png = BuildApng(fixture);
    // Damage the second frame's zlib data.
    const std::string text(png.begin(), png.end());
    const std::size_t fdat = text.find("fdAT");
    png[fdat + 8] ^= 0xFF;
    png[fdat + 9] ^= 0xFF;
    auto out = Compose(png);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(PixelAt(out[1], 0, 0), (Px{0, 0, 255, 255}));

    const std::size_t idat = text.find("IDAT");
    png = BuildApng(fixture);
    png[idat + 6] ^= 0xFF;
    CollectedFrames frames;
    const ConvertResult r = ConvertApngData(png, frames.Sink());
    EXPECT_EQ(r.Status, ConvertStatus::Failed);
    EXPECT_TRUE(frames.Frames.empty());
}

}  // namespace
}  // namespace framelot

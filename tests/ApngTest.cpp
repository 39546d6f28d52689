// APNG: the chunk walk, the per-frame rebuild and the dispose/blend rules.
#include <gtest/gtest.h>

#include "apng/ApngConvert.h"
#include "apng/ApngRebuild.h"
#include "apng/ApngWalk.h"
#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;
using Px = std::vector<int>;  // RGBA

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
    ApngSpec one{.Width = 2, .Height = 2, .Frames = {Frame(2, 2, 0, 0, 0, 0, SolidRgba(2, 2, 1, 2, 3, 255))}};
    EXPECT_TRUE(Compose(BuildApng(one), ConvertStatus::NotAnimation).empty());
    EXPECT_EQ(ConvertApngData(Bytes(20, 0), {}).Status, ConvertStatus::NotAnimation);
}

// Out-of-range operations read as the defaults, each on its own: dispose_op 7
// must not turn a source frame into a blended one, nor blend_op 9 change what
// is disposed.
TEST(ApngTest, OutOfRangeOperationsReadAsTheDefaultsWithoutTouchingEachOther)
{
    const Bytes half = SolidRgba(1, 1, 0, 255, 0, 128);
    for (std::uint8_t dispose : {3, 7, 255}) {
        const ApngSpec fixture{.Width = 1, .Height = 1,
                               .Frames = {Frame(1, 1, 0, 0, 0, 0, SolidRgba(1, 1, 255, 0, 0, 255)),
                                          Frame(1, 1, 0, 0, dispose, 0, half),
                                          Frame(1, 1, 0, 0, 0, 1, SolidRgba(1, 1, 0, 0, 0, 0))}};
        const auto index = IndexApng(BuildApng(fixture), 10);
        ASSERT_EQ(index.Frames.size(), 3u);
        EXPECT_EQ(index.Frames[1].Dispose, DisposeMethod::None) << int(dispose);
        EXPECT_EQ(index.Frames[1].Blend, BlendMethod::Source) << int(dispose);
        const auto out = Compose(BuildApng(fixture));
        ASSERT_EQ(out.size(), 3u);
        EXPECT_EQ(PixelAt(out[1], 0, 0), (Px{0, 255, 0, 128})) << int(dispose);  // source: replaced
        EXPECT_EQ(PixelAt(out[2], 0, 0), (Px{0, 255, 0, 128})) << int(dispose);  // dispose none: kept
    }
    for (std::uint8_t blend : {2, 9, 255}) {
        const ApngSpec fixture{.Width = 1, .Height = 1,
                               .Frames = {Frame(1, 1, 0, 0, 0, 0, SolidRgba(1, 1, 255, 0, 0, 255)),
                                          Frame(1, 1, 0, 0, 1, blend, half),
                                          Frame(1, 1, 0, 0, 0, 1, SolidRgba(1, 1, 0, 0, 0, 0))}};
        const auto index = IndexApng(BuildApng(fixture), 10);
        EXPECT_EQ(index.Frames[1].Dispose, DisposeMethod::Background) << int(blend);
        EXPECT_EQ(index.Frames[1].Blend, BlendMethod::Source) << int(blend);
        const auto out = Compose(BuildApng(fixture));
        ASSERT_EQ(out.size(), 3u);
        EXPECT_EQ(PixelAt(out[1], 0, 0), (Px{0, 255, 0, 128})) << int(blend);
        EXPECT_EQ(PixelAt(out[2], 0, 0), (Px{0, 0, 0, 0})) << int(blend);
    }
}

TEST(ApngTest, DefaultImageIsFrameZeroOnlyWhenItsFctlComesFirst)
{
    ApngSpec fixture{.Width = 2, .Height = 1, .DefaultImageIsFrame = false, .DefaultPixels = SolidRgba(2, 1, 255, 0, 0, 255), .Frames = {Frame(2, 1, 0, 0, 0, 0, SolidRgba(2, 1, 0, 255, 0, 255)),
                   Frame(1, 1, 1, 0, 0, 0, SolidRgba(1, 1, 0, 0, 255, 255))}};
    EXPECT_FALSE(IndexApng(BuildApng(fixture), 10).Frames[0].DataInIdat);
    auto out = Compose(BuildApng(fixture));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(PixelAt(out[0], 0, 0), (Px{0, 255, 0, 255}));
    EXPECT_EQ(PixelAt(out[1], 1, 0), (Px{0, 0, 255, 255}));

    fixture.DefaultImageIsFrame = true;
    EXPECT_TRUE(IndexApng(BuildApng(fixture), 10).Frames[0].DataInIdat);
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
    const Px Red = {255, 0, 0, 255}, Clear = {0, 0, 0, 0};
    const Px GreenOverRed = {127, 128, 0, 255}, Green = {0, 255, 0, 128};
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
        ApngSpec fixture{.Width = 2, .Height = 1, .Frames = {Frame(2, 1, 0, 0, c.D0, 0, SolidRgba(2, 1, 255, 0, 0, 255)),
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
    ApngSpec fixture{.Width = 1, .Height = 1, .Frames = {Frame(1, 1, 0, 0, 0, 0, SolidRgba(1, 1, 50, 100, 200, 128)),
                   Frame(1, 1, 0, 0, 0, 0, SolidRgba(1, 1, 50, 100, 200, 0))}};
    const auto out = Compose(BuildApng(fixture));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(PixelAt(out[0], 0, 0), (Px{49, 99, 199, 128}));
    EXPECT_EQ(PixelAt(out[1], 0, 0), (Px{0, 0, 0, 0}));  // blend source punches a hole
}

TEST(ApngTest, LaterFramesAreClippedToTheFirstFramesCanvas)
{
    ApngSpec fixture{.Width = 4, .Height = 4, .Frames = {Frame(2, 2, 0, 0, 0, 0, SolidRgba(2, 2, 255, 0, 0, 255)),
                   Frame(3, 3, 1, 1, 0, 0, SolidRgba(3, 3, 0, 0, 255, 255))}};
    const auto out = Compose(BuildApng(fixture));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].Width, 2);
    EXPECT_EQ(PixelAt(out[1], 1, 1), (Px{0, 0, 255, 255}));
    EXPECT_EQ(PixelAt(out[1], 0, 1), (Px{255, 0, 0, 255}));
}

TEST(ApngTest, PaletteAndTransparencyReachEveryFrame)
{
    ApngSpec fixture{.Width = 2, .Height = 1, .ColourType = 3, .Palette = {255, 0, 0, 0, 0, 255}, .Transparency = {255, 0}, .Frames = {Frame(2, 1, 0, 0, 0, 0, {0, 0}), Frame(2, 1, 0, 0, 0, 1, {1, 0})}};
    const Bytes png = BuildApng(fixture);
    std::vector<std::uint8_t> rebuilt;
    const ApngIndex index = IndexApng(png, 10);
    for (const ApngFrameRecord& frame : index.Frames) {
        BuildFramePng(png, index, frame, rebuilt);
        const std::string text(rebuilt.begin(), rebuilt.end());
        EXPECT_NE(text.find("PLTE"), std::string::npos);
        EXPECT_NE(text.find("tRNS"), std::string::npos);
        EXPECT_LE(rebuilt.size(), png.size());
    }
    const auto out = Compose(png);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(PixelAt(out[1], 0, 0), (Px{255, 0, 0, 255}));  // index 1 is transparent: frame 0 shows
}

TEST(ApngTest, OnlyTheFirstPaletteAndTransparencyAreCarried)
{
    // Copies of PLTE/tRNS would otherwise be carried into every frame: a small
    // file could cost (copies x frames) work.
    ApngSpec fixture{.Width = 2, .Height = 1, .ColourType = 3, .Palette = {255, 0, 0, 0, 0, 255}, .Transparency = {255, 0}, .Frames = {Frame(2, 1, 0, 0, 0, 0, {0, 0}), Frame(2, 1, 0, 0, 0, 1, {1, 0})}};
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
    ApngSpec fixture{.Width = 1, .Height = 1, .Frames = {Frame(1, 1, 0, 0, 0, 0, SolidRgba(1, 1, 1, 2, 3, 255)), Frame(1, 1, 0, 0, 0, 0, SolidRgba(1, 1, 1, 2, 3, 255))}};
    Bytes png = BuildApng(fixture);
    png.resize(png.size() - 12);  // drop IEND
    Bytes four = {0, 0, 0, 9};
    AppendPngChunk(png, "fdAT", four);
    Bytes big(1004, 0xAB);
    AppendPngChunk(png, "fdAT", big);
    AppendPngChunk(png, "IEND", {});
    std::vector<std::uint8_t> out;
    const ApngIndex index = IndexApng(png, 10);
    ASSERT_EQ(index.Frames.size(), 2u);
    BuildFramePng(png, index, index.Frames[1], out);
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
}

TEST(ApngTest, MoreFramesAnnouncedThanPresentAreWrittenUndrawn)
{
    ApngSpec fixture{.Width = 1, .Height = 1, .AnnouncedFrames = 4, .Frames = {Frame(1, 1, 0, 0, 0, 0, SolidRgba(1, 1, 255, 0, 0, 255)), Frame(1, 1, 0, 0, 0, 0, SolidRgba(1, 1, 0, 255, 0, 255))}};
    const auto out = Compose(BuildApng(fixture));
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(PixelAt(out[3], 0, 0), (Px{0, 255, 0, 255}));
}

TEST(ApngTest, UndecodableFrameZeroFailsAndLaterOnesDrawNothing)
{
    ApngSpec fixture{.Width = 1, .Height = 1, .Frames = {Frame(1, 1, 0, 0, 0, 0, SolidRgba(1, 1, 255, 0, 0, 255)), Frame(1, 1, 0, 0, 0, 0, SolidRgba(1, 1, 0, 255, 0, 255)),
                   Frame(1, 1, 0, 0, 0, 0, SolidRgba(1, 1, 0, 0, 255, 255))}};
    Bytes png = BuildApng(fixture);
    // Damage the second frame's zlib data.
    const std::string text(png.begin(), png.end());
    const std::size_t fdat = text.find("fdAT");
    png[fdat + 8] ^= 0xFF;
    png[fdat + 9] ^= 0xFF;
    auto out = Compose(png);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(PixelAt(out[1], 0, 0), (Px{255, 0, 0, 255}));

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

// Small hostile inputs, each named for its fault. None may crash, hang, read
// outside its buffer (the sanitizer build checks that) or allocate without
// limit; each must end cleanly with a result that says why.
#include <gtest/gtest.h>

#include "apng/ApngConvert.h"
#include "gif/GifConvert.h"
#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"
#include "webp/WebpConvert.h"

namespace framelot {
namespace {

using namespace test;

struct Hostile {
    const char* Name;
    ConvertBytesFunction Convert;
    Bytes Input;
    ConvertStatus Expected;
    std::string Reason;  // the exact reason given; empty for Converted
    FailureKind Failure = FailureKind::None;
};

Bytes GifHeader(std::initializer_list<std::uint8_t> rest)
{
    Bytes b = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0};
    b.insert(b.end(), rest);
    return b;
}

Bytes PngWithChunk(std::uint32_t length, const char* type)
{
    Bytes png = BuildPlainPng(1, 1, SolidRgba(1, 1, 0, 0, 0, 255));
    png.resize(33);
    png.insert(png.end(), {std::uint8_t(length >> 24), std::uint8_t(length >> 16), std::uint8_t(length >> 8),
                           std::uint8_t(length)});
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), {0, 0, 0, 0});
    return png;
}

TEST(HostileInputTest, EachEndsCleanlyWithAReason)
{
    const Bytes apng = BuildApng({.Width = 2, .Height = 2, .Frames = {{2, 2, 0, 0, 0, 0, SolidRgba(2, 2, 1, 2, 3, 255)}, {2, 2, 0, 0, 0, 0, SolidRgba(2, 2, 1, 2, 3, 255)}}});
    Bytes hugeFctl = apng;
    const std::size_t fctl = std::string(hugeFctl.begin(), hugeFctl.end()).find("fcTL") + 8;
    hugeFctl[fctl] = hugeFctl[fctl + 4] = 0x7F;  // 2^31-ish x 2^31-ish, CRC not checked
    Bytes countHuge = apng;
    const std::size_t actl = std::string(countHuge.begin(), countHuge.end()).find("acTL") + 4;
    countHuge[actl] = 0x7F;  // two billion frames announced

    const Hostile cases[] = {
        {"gif: empty", ConvertGifData, {}, ConvertStatus::NotAnimation, "not a GIF file"},
        {"gif: header only", ConvertGifData, GifHeader({}), ConvertStatus::NotAnimation, "GIF without images"},
        {"gif: global table past the end", ConvertGifData, Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x87, 0, 0, 1, 2},
         ConvertStatus::NotAnimation, "GIF without images"},
        {"gif: truncated sub-block chain", ConvertGifData, GifHeader({0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 200, 1}),
         ConvertStatus::NotAnimation, "GIF without images"},
        {"gif: 65535 x 65535 frames in a tiny file", ConvertGifData,
         GifHeader({0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 0, 0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 0, 0x3B}),
         ConvertStatus::Failed, "canvas of 65535 x 65535 pixels is over the program's limit", FailureKind::OverLimit},
        {"gif: images without pixel data", ConvertGifData,
         GifHeader({0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 0, 0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 0, 0x3B}),
         ConvertStatus::Converted, ""},
        {"gif: zero-sized images", ConvertGifData,
         GifHeader({0x2C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0x2C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0x3B}),
         ConvertStatus::Converted, ""},
        {"apng: shorter than its header", ConvertApngData, Bytes(apng.begin(), apng.begin() + 32), ConvertStatus::NotAnimation, "not a PNG file"},
        {"apng: chunk length 0xFFFFFFFF", ConvertApngData, PngWithChunk(0xFFFFFFFF, "acTL"), ConvertStatus::NotAnimation, "not an animated PNG"},
        {"apng: chunk past the end", ConvertApngData, PngWithChunk(1000, "fcTL"), ConvertStatus::NotAnimation, "not an animated PNG"},
        {"apng: fdAT shorter than 4 bytes", ConvertApngData, PngWithChunk(2, "fdAT"), ConvertStatus::NotAnimation, "not an animated PNG"},
        {"apng: fcTL claims a huge frame", ConvertApngData, hugeFctl, ConvertStatus::Failed, "canvas of 2130706434 x 2130706434 pixels is over the program's limit", FailureKind::OverLimit},
        {"apng: two billion frames announced", ConvertApngData, countHuge, ConvertStatus::Failed, "more than 100000 frames (over the program's limit)", FailureKind::OverLimit},
        {"apng: cut in the middle (frame 1 lost)", ConvertApngData, Bytes(apng.begin(), apng.end() - 30), ConvertStatus::Converted, ""},
        {"webp: RIFF header only", ConvertWebpData, Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'E', 'B', 'P'},
         ConvertStatus::NotAnimation, "not a WebP file, or an incomplete one"},
        {"webp: RIFF size beyond the file", ConvertWebpData,
         Bytes{'R', 'I', 'F', 'F', 0xFF, 0xFF, 0xFF, 0x7F, 'W', 'E', 'B', 'P', 'V', 'P', '8', 'X', 10, 0, 0, 0},
         ConvertStatus::NotAnimation, "not a WebP file, or an incomplete one"},
    };
    for (const Hostile& c : cases) {
        std::uint64_t frames = 0;
        const ConvertResult r = c.Convert(c.Input, [&](std::uint64_t, const Bitmap&) { return ++frames > 0; }, {});
        EXPECT_EQ(r.Status, c.Expected) << c.Name << ": " << r.Reason;
        EXPECT_EQ(r.Reason, c.Reason) << c.Name;
        EXPECT_EQ(r.Failure, c.Failure) << c.Name;
        if (r.Status != ConvertStatus::Converted) {
            EXPECT_EQ(frames, 0u) << c.Name;
        }
    }
}

TEST(HostileInputTest, EveryTruncationOfRealFilesIsSafe)
{
    const Bytes gif = BuildGif({.ScreenWidth = 4, .ScreenHeight = 4, .Palette = FourColours(), .Frames = {SolidGifFrame(0, 0, 4, 4, 1), SolidGifFrame(1, 1, 2, 2, 2, 2), SolidGifFrame(0, 0, 3, 3, 3, 3)}});
    const Bytes apng = BuildApng({.Width = 2, .Height = 2, .Frames = {{2, 2, 0, 0, 0, 0, SolidRgba(2, 2, 1, 2, 3, 255)}, {1, 1, 1, 1, 2, 1, SolidRgba(1, 1, 1, 2, 3, 9)}}});
    const Bytes webp = BuildAnimatedWebp({.CanvasWidth = 4, .CanvasHeight = 4, .Frames = {{0, 0, 4, 4, SolidRgba(4, 4, 1, 2, 3, 255)},
                                                    {2, 2, 2, 2, SolidRgba(2, 2, 3, 2, 1, 100), true, true}}});
    const std::pair<ConvertBytesFunction, const Bytes*> files[] = {
        {ConvertGifData, &gif}, {ConvertApngData, &apng}, {ConvertWebpData, &webp}};
    for (auto [convert, bytes] : files) {
        for (std::size_t n = 0; n <= bytes->size(); ++n) {
            // An exact-size copy, so the sanitizer sees any read past the end.
            const Bytes cut(bytes->begin(), bytes->begin() + static_cast<std::ptrdiff_t>(n));
            convert(cut, [](std::uint64_t, const Bitmap& f) {
                EXPECT_GT(f.Width, 0);
                return true;
            }, {});
        }
    }
    // A truncated GIF still converts the frames that are there.
    std::uint64_t frames = 0;
    const ConvertResult r = ConvertGifData(Bytes(gif.begin(), gif.end() - 8), [&](std::uint64_t, const Bitmap&) { return ++frames > 0; });
    EXPECT_EQ(r.Status, ConvertStatus::Converted);
    EXPECT_EQ(frames, 2u);
}

}  // namespace
}  // namespace framelot

namespace framelot {
namespace {

TEST(HostileInputTest, RegressionInputsReplay)
{
    const std::pair<const char*, ConvertBytesFunction> formats[] = {
        {"gif", ConvertGifData}, {"apng", ConvertApngData}, {"webp", ConvertWebpData}};
    int replayed = 0;
    for (auto [folder, convert] : formats) {
        const test::fs::path dir = test::fs::path(FRAMELOT_REGRESSIONS) / folder;
        for (const auto& entry : test::fs::directory_iterator(dir)) {
            const test::Bytes bytes = test::ReadFile(entry.path().string());
            const ConvertResult r = convert(bytes, [](std::uint64_t, const Bitmap& f) {
                EXPECT_GT(f.Width, 0);
                return true;
            }, {});
            EXPECT_TRUE(r.Status == ConvertStatus::Converted || !r.Reason.empty()) << entry.path();
            ++replayed;
        }
    }
    EXPECT_GE(replayed, 3);
}

}  // namespace
}  // namespace framelot

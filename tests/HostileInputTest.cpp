// Small hostile inputs, each named for its fault. None may crash, hang, read
// outside its buffer (the sanitizer build checks that) or allocate without
// limit; each must end cleanly with a result that says why.
#include <gtest/gtest.h>

#include <stdexcept>

#include "apng/ApngConvert.h"
#include "convert/SourceFormats.h"
#include "gif/GifConvert.h"
#include "imaging/Limits.h"
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
    std::string Damage = {};  // a part of the damage said for a file converted in part; empty for a whole one
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
        {"gif: cut inside the screen descriptor", ConvertGifData, Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1},
         ConvertStatus::Failed, "the file ends inside its header (9 of 13 bytes)", FailureKind::Damaged},
        {"gif: a signature of another kind", ConvertGifData, Bytes{'G', 'I', 'F', '9', '9', 'a', 1, 0, 1},
         ConvertStatus::NotAnimation, "not a GIF file"},
        {"gif: header only", ConvertGifData, GifHeader({}), ConvertStatus::Failed,
         "the file ends before its first frame without the GIF trailer: any later frames are missing", FailureKind::Damaged},
        {"gif: header and trailer", ConvertGifData, GifHeader({0x3B}), ConvertStatus::NotAnimation, "GIF without images"},
        {"gif: global table past the end", ConvertGifData, Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x87, 0, 0, 1, 2},
         ConvertStatus::Failed, "the file ends before its first frame without the GIF trailer: any later frames are missing",
         FailureKind::Damaged},
        {"gif: truncated sub-block chain", ConvertGifData, GifHeader({0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 200, 1}),
         ConvertStatus::Failed, "the file ends inside frame 0: it and any later frames are missing", FailureKind::Damaged},
        {"gif: 65535 x 65535 frames in a tiny file", ConvertGifData,
         GifHeader({0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 0, 0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 0, 0x3B}),
         ConvertStatus::Failed, "canvas of 65535 x 65535 pixels is over the program's limit", FailureKind::OverLimit},
        {"gif: images without pixel data", ConvertGifData,
         GifHeader({0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 0, 0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 0, 0x3B}),
         ConvertStatus::Converted, "", FailureKind::None, "frames 0 and 1 could not be decoded"},
        {"gif: zero-sized images", ConvertGifData,
         GifHeader({0x2C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0x2C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0x3B}),
         ConvertStatus::Converted, ""},
        {"apng: shorter than its header", ConvertApngData, Bytes(apng.begin(), apng.begin() + 32), ConvertStatus::Failed,
         "the file ends inside its header (32 of 33 bytes)", FailureKind::Damaged},
        {"apng: the signature alone", ConvertApngData, Bytes(apng.begin(), apng.begin() + 8), ConvertStatus::Failed,
         "the file ends inside its header (8 of 33 bytes)", FailureKind::Damaged},
        {"apng: less than the signature", ConvertApngData, Bytes(apng.begin(), apng.begin() + 7), ConvertStatus::NotAnimation,
         "not a PNG file"},
        {"apng: chunk length 0xFFFFFFFF", ConvertApngData, PngWithChunk(0xFFFFFFFF, "acTL"), ConvertStatus::NotAnimation, "not an animated PNG"},
        {"apng: chunk past the end", ConvertApngData, PngWithChunk(1000, "fcTL"), ConvertStatus::NotAnimation, "not an animated PNG"},
        {"apng: fdAT shorter than 4 bytes", ConvertApngData, PngWithChunk(2, "fdAT"), ConvertStatus::NotAnimation, "not an animated PNG"},
        {"apng: fcTL claims a huge frame", ConvertApngData, hugeFctl, ConvertStatus::Failed, "canvas of 2130706434 x 2130706434 pixels is over the program's limit", FailureKind::OverLimit},
        {"apng: two billion frames announced", ConvertApngData, countHuge, ConvertStatus::Failed, "more than 100000 frames (over the program's limit)", FailureKind::OverLimit},
        {"apng: cut in the middle (frame 1 lost)", ConvertApngData, Bytes(apng.begin(), apng.end() - 30), ConvertStatus::Converted, "",
         FailureKind::None, "before its IEND chunk"},
        {"webp: RIFF header only", ConvertWebpData, Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'E', 'B', 'P'},
         ConvertStatus::Failed, "the file ends inside its headers (after 12 bytes)", FailureKind::Damaged},
        {"webp: RIFF size beyond the file", ConvertWebpData,
         Bytes{'R', 'I', 'F', 'F', 0xFF, 0xFF, 0xFF, 0x7F, 'W', 'E', 'B', 'P', 'V', 'P', '8', 'X', 10, 0, 0, 0},
         ConvertStatus::Failed, "the file ends inside its headers (after 20 bytes)", FailureKind::Damaged},
        {"webp: a RIFF of another kind", ConvertWebpData, Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'},
         ConvertStatus::NotAnimation, "not a WebP file"},
    };
    for (const Hostile& c : cases) {
        std::uint64_t frames = 0;
        const ConvertResult r = c.Convert(c.Input, [&](std::uint64_t, const Bitmap&) { return ++frames > 0; }, {});
        EXPECT_EQ(r.Status, c.Expected) << c.Name << ": " << r.Reason;
        EXPECT_EQ(r.Reason, c.Reason) << c.Name;
        EXPECT_EQ(r.Failure, c.Failure) << c.Name;
        EXPECT_EQ(r.Damage.empty(), c.Damage.empty()) << c.Name << ": " << r.Damage;
        EXPECT_NE(r.Damage.find(c.Damage), std::string::npos) << c.Name << ": " << r.Damage;
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

void Put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int k = 0; k < 4; ++k) b[at + k] = std::uint8_t(v >> (24 - 8 * k));
}

std::uint32_t Get32(const Bytes& b, std::size_t at)
{
    return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 | std::uint32_t(b[at + 2]) << 8 | b[at + 3];
}

// The sample's bare codestream with its size header rewritten for a canvas of
// width x height and the bits after it moved along. The sample's header (4 x 4)
// takes 15 bits; the new one takes 31, the height in 13 bits and the width in
// 18, so the frames after the header stay on byte boundaries.
Bytes JxlWithSize(const Bytes& jxl, std::uint32_t width, std::uint32_t height)
{
    constexpr std::size_t SignatureBytes = 2, SampleHeaderBits = 15;
    std::vector<bool> bits;
    auto put = [&](std::uint32_t value, int count) {
        for (int k = 0; k < count; ++k) bits.push_back((value >> k & 1) != 0);
    };
    put(0, 1);  // not a multiple of 8
    put(1, 2);  // the height in 13 bits
    put(height - 1, 13);
    put(0, 3);  // the width given apart
    put(2, 2);  // in 18 bits
    put(width - 1, 18);
    for (std::size_t bit = SignatureBytes * 8 + SampleHeaderBits; bit < jxl.size() * 8; ++bit) {
        bits.push_back((jxl[bit / 8] >> (bit % 8) & 1) != 0);
    }
    Bytes out(jxl.begin(), jxl.begin() + SignatureBytes);
    out.resize(SignatureBytes + (bits.size() + 7) / 8, 0);
    for (std::size_t k = 0; k < bits.size(); ++k) {
        if (bits[k]) out[SignatureBytes + k / 8] |= std::uint8_t(1u << (k % 8));
    }
    return out;
}

// AVIF and JPEG XL from small real files, checked in because not every build
// has the encoders: cut at every byte, sizes that lie, and over each limit a
// small file can reach. Conversion and --info must agree on each.
TEST(HostileInputTest, AvifAndJxlEndCleanlyWithAReason)
{
    const Bytes avif = ReadFile(std::string(FRAMELOT_SAMPLES) + "/two-frames-8x8.avif");
    const Bytes jxl = ReadFile(std::string(FRAMELOT_SAMPLES) + "/three-frames-4x4.jxl");
    ASSERT_FALSE(avif.empty());
    ASSERT_FALSE(jxl.empty());
    const std::string text(avif.begin(), avif.end());
    // The track header ends with its width and height, 16.16 fixed point.
    Bytes tallTrack = avif;
    const std::size_t tkhd = text.find("tkhd") - 4, tkhdEnd = tkhd + Get32(avif, tkhd);
    Put32(tallTrack, tkhdEnd - 8, 20000u << 16);
    Put32(tallTrack, tkhdEnd - 4, 20000u << 16);
    // The first sample-to-chunk entry: first chunk, samples a chunk, description.
    Bytes manySamples = avif;
    Put32(manySamples, text.find("stsc") + 16, std::uint32_t(MaxFrames + 2));
    Bytes hugeBox = avif;
    Put32(hugeBox, text.find("moov") - 4, 0x7FFFFFFF);

    auto formatOf = [](SourceKind kind) -> const SourceFormat& {
        for (const SourceFormat& format : SourceFormats()) {
            if (format.Kind == kind) return format;
        }
        throw std::logic_error("no such format");
    };
    const SourceFormat& avifFormat = formatOf(SourceKind::Avif);
    const SourceFormat& jxlFormat = formatOf(SourceKind::Jxl);
    struct Row {
        const char* Name;
        const SourceFormat& Format;
        Bytes Input;
        ConvertStatus Expected;
        std::string Reason;
        FailureKind Failure = FailureKind::None;
        std::uint64_t Frames = 0;
    };
    const Row rows[] = {
        {"avif: as made", avifFormat, avif, ConvertStatus::Converted, "", FailureKind::None, 2},
        {"avif: track of 20000 x 20000", avifFormat, tallTrack, ConvertStatus::Failed,
         "canvas of 20000 x 20000 pixels is over the program's limit", FailureKind::OverLimit},
        {"avif: over 100000 samples", avifFormat, manySamples, ConvertStatus::Failed,
         "more than 100000 frames (over the program's limit)", FailureKind::OverLimit},
        {"avif: box larger than the file", avifFormat, hugeBox, ConvertStatus::Failed,
         "the AVIF file is damaged and cannot be read", FailureKind::Damaged},
        {"jxl: as made", jxlFormat, jxl, ConvertStatus::Converted, "", FailureKind::None, 3},
        {"jxl: size header rewritten, same size", jxlFormat, JxlWithSize(jxl, 4, 4), ConvertStatus::Converted, "",
         FailureKind::None, 3},
        {"jxl: 200000 x 8000", jxlFormat, JxlWithSize(jxl, 200000, 8000), ConvertStatus::Failed,
         "canvas of 200000 x 8000 pixels is over the program's limit", FailureKind::OverLimit},
        {"jxl: signature only", jxlFormat, Bytes(jxl.begin(), jxl.begin() + 2), ConvertStatus::Failed,
         "the file ends or is damaged before its image header", FailureKind::Damaged},
    };
    for (const Row& row : rows) {
        std::uint64_t frames = 0;
        const ConvertResult converted = row.Format.Convert(row.Input, [&](std::uint64_t i, const Bitmap& f) {
            EXPECT_EQ(i, frames++) << row.Name;
            EXPECT_EQ(f.Pixels.size(), std::size_t(f.Width) * f.Height * 4) << row.Name;
            return true;
        }, {});
        AnimationInfo info;
        const ConvertResult described = row.Format.Describe(row.Input, info);
        EXPECT_EQ(converted.Status, row.Expected) << row.Name << ": " << converted.Reason;
        // libavif's own words may follow the reason.
        EXPECT_EQ(converted.Reason.substr(0, row.Reason.size()), row.Reason) << row.Name;
        EXPECT_EQ(converted.Reason.empty(), row.Reason.empty()) << row.Name;
        EXPECT_EQ(converted.Failure, row.Failure) << row.Name;
        EXPECT_EQ(frames, row.Frames) << row.Name;
        EXPECT_EQ(described.Status, row.Expected) << row.Name;
        EXPECT_EQ(described.Reason, converted.Reason) << row.Name;
        if (row.Expected == ConvertStatus::Converted) {
            EXPECT_EQ(info.Frames.size(), row.Frames) << row.Name;
        }
    }

    for (const Bytes* whole : {&avif, &jxl}) {
        const SourceFormat& format = whole == &avif ? avifFormat : jxlFormat;
        for (std::size_t n = 0; n < whole->size(); ++n) {
            // An exact-size copy, so the sanitizer sees any read past the end.
            const Bytes cut(whole->begin(), whole->begin() + static_cast<std::ptrdiff_t>(n));
            std::uint64_t frames = 0;
            const ConvertResult r = format.Convert(cut, [&](std::uint64_t i, const Bitmap&) {
                EXPECT_EQ(i, frames++);
                return true;
            }, {});
            AnimationInfo info;
            const ConvertResult described = format.Describe(cut, info);
            // A cut file is never whole: it fails, or converts its first
            // frames and says it is damaged.
            EXPECT_TRUE(r.Status != ConvertStatus::Converted || !r.Damage.empty()) << n;
            EXPECT_FALSE(r.Reason.empty() && r.Damage.empty()) << n;
            // --info reads headers only, so a cut in the last frame's pixels
            // may pass it; it never counts more frames than the file has.
            if (described.Status == ConvertStatus::Converted) {
                EXPECT_LE(info.Frames.size(), whole == &avif ? 2u : 3u) << n;
            } else {
                EXPECT_FALSE(described.Reason.empty()) << n;
            }
        }
    }
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

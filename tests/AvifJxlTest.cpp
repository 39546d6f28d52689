// Animated AVIF and JPEG XL, from files made by Debian's own encoders at test
// time (avifenc, cjxl; scripts/setup.sh installs them): frames equal libavif's
// own exact colour conversion or, for lossless JPEG XL, the frames of the animation
// it was made from; turned and mirrored AVIFs come out as viewers show them;
// stills write nothing; damaged files end with a reason. libavif's own
// animations, taken from its pinned source archive, check what Debian 12's
// libavif got wrong: an audio track, a depth track, the loop count.
#include <gtest/gtest.h>

#include <set>
#include <avif/avif.h>
#include <jxl/encode.h>
#include <jxl/encode_cxx.h>

#include "avif/AvifConvert.h"
#include "avif/AvifInfo.h"
#include "convert/Dispatch.h"
#include "gif/GifConvert.h"
#include "imaging/Limits.h"
#include "jxl/JxlConvert.h"
#include "jxl/JxlIndex.h"
#include "jxl/JxlInfo.h"
#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;

bool Have(const char* tool)
{
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

#define REQUIRE_TOOLS(...)                                                            \
    for (const char* tool : {__VA_ARGS__})                                            \
        if (!Have(tool)) GTEST_SKIP() << tool << " is not installed (scripts/setup.sh installs it)"

// Four frames of width x height with a moving bar, some translucent pixels.
std::vector<std::string> WriteFrames(const TempDir& dir, int width, int height, bool alpha)
{
    std::vector<std::string> paths;
    for (int f = 0; f < 4; ++f) {
        Bytes rgba;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const bool bar = (x / 4 + f) % 5 == 0;
                rgba.insert(rgba.end(), {std::uint8_t(bar ? 250 : x * 9), std::uint8_t(y * 11), std::uint8_t(60 + f * 40),
                                         std::uint8_t(alpha && y < height / 2 ? 90 + x : 255)});
            }
        paths.push_back(dir / ("f" + std::to_string(f) + ".png"));
        WriteFile(paths.back(), BuildPlainPng(std::uint32_t(width), std::uint32_t(height), rgba));
    }
    return paths;
}

std::vector<Bitmap> Convert(ConvertBytesFunction convert, const std::string& path, ConvertResult* result = nullptr)
{
    CollectedFrames frames;
    const ConvertResult r = convert(ReadFile(path), frames.Sink(), {});
    if (result) *result = r;
    EXPECT_TRUE(result || r.Status == ConvertStatus::Converted) << r.Reason;
    return frames.Frames;
}

std::string Joined(const std::vector<std::string>& paths)
{
    std::string all;
    for (const auto& p : paths) all += " " + p;
    return all;
}

// Every frame as libavif's own exact conversion gives it (libyuv avoided,
// best chroma upsampling), as straight RGBA. Debian 12's avifdec converts
// through libyuv, so it cannot serve as this reference.
std::vector<Bitmap> ReferenceFrames(const Bytes& file)
{
    std::vector<Bitmap> frames;
    avifDecoder* decoder = avifDecoderCreate();
    if (avifDecoderSetIOMemory(decoder, file.data(), file.size()) == AVIF_RESULT_OK &&
        avifDecoderParse(decoder) == AVIF_RESULT_OK) {
        while (avifDecoderNextImage(decoder) == AVIF_RESULT_OK) {
            avifRGBImage rgb;
            avifRGBImageSetDefaults(&rgb, decoder->image);
            rgb.format = AVIF_RGB_FORMAT_RGBA;
            rgb.depth = 8;
            rgb.avoidLibYUV = AVIF_TRUE;
            rgb.chromaUpsampling = AVIF_CHROMA_UPSAMPLING_BEST_QUALITY;
            Bitmap frame = MakeBitmap(int(decoder->image->width), int(decoder->image->height));
            rgb.pixels = frame.Pixels.data();
            rgb.rowBytes = decoder->image->width * 4;
            EXPECT_EQ(avifImageYUVToRGB(decoder->image, &rgb), AVIF_RESULT_OK);
            frames.push_back(std::move(frame));
        }
    }
    avifDecoderDestroy(decoder);
    return frames;
}

TEST(AvifTest, SequencesEqualLibavifsExactConversionForEachKind)
{
    REQUIRE_TOOLS("avifenc");
    TempDir dir;
    int checked = 0;
    for (const char* depth : {"8", "10"})
        for (const char* chroma : {"420", "422", "444"})
            for (const bool alpha : {false, true}) {
                const std::string kind = std::string(depth) + "-bit " + chroma + (alpha ? " with alpha" : "");
                const auto frames = WriteFrames(dir, 21, 13, alpha);
                const std::string avif = dir / "anim.avif";
                std::filesystem::remove(avif);
                ASSERT_EQ(RunProgram(std::string("avifenc -s 8 --min 10 --max 30 -d ") + depth + " -y " + chroma +
                                     Joined(frames) + " " + avif).Status, 0) << kind;
                const auto ours = Convert(ConvertAvifData, avif);
                ASSERT_EQ(ours.size(), 4u) << kind;
                const auto expected = ReferenceFrames(ReadFile(avif));
                ASSERT_EQ(expected.size(), 4u) << kind;
                for (int i = 0; i < 4; ++i) {
                    EXPECT_EQ(ours[i].Width, expected[i].Width) << kind;
                    EXPECT_TRUE(ours[i].Pixels == expected[i].Pixels) << kind << ", frame " << i;
                    ++checked;
                }
            }
    EXPECT_EQ(checked, 48);
}

// Where the pixel (x, y) of a w x h upright image lands after `quarterTurns`
// anticlockwise turns and then the mirror `axis` (-1: none; 0: top and bottom
// exchanged; 1: left and right).
std::pair<int, int> Oriented(int x, int y, int w, int h, int quarterTurns, int axis)
{
    for (int t = 0; t < quarterTurns; ++t) {
        const int turnedX = y, turnedY = w - 1 - x;
        x = turnedX;
        y = turnedY;
        std::swap(w, h);
    }
    if (axis == 0) y = h - 1 - y;
    if (axis == 1) x = w - 1 - x;
    return {x, y};
}

TEST(AvifTest, EveryTurnAndMirrorComesOutAsViewersShowIt)
{
    REQUIRE_TOOLS("avifenc");
    TempDir dir;
    const auto frames = WriteFrames(dir, 6, 4, false);
    const std::string plain = dir / "plain.avif";
    ASSERT_EQ(RunProgram("avifenc -s 8 -l" + Joined(frames) + " " + plain).Status, 0);
    const Bitmap upright = Convert(ConvertAvifData, plain)[1];
    ASSERT_EQ(upright.Width, 6);
    for (int turns = 0; turns < 4; ++turns)
        for (int axis = -1; axis <= 1; ++axis) {
            const std::string name = "turns " + std::to_string(turns) + ", mirror " + std::to_string(axis);
            const std::string file = dir / "oriented.avif";
            std::filesystem::remove(file);
            const std::string mirror = axis < 0 ? "" : " --imir " + std::to_string(axis);
            ASSERT_EQ(RunProgram("avifenc -s 8 -l --irot " + std::to_string(turns) + mirror + Joined(frames) + " " + file).Status, 0);
            const auto out = Convert(ConvertAvifData, file);
            ASSERT_EQ(out.size(), 4u) << name;
            ASSERT_EQ(out[1].Width, turns % 2 ? 4 : 6) << name;
            AnimationInfo info;
            ASSERT_EQ(ReadAvifInfo(ReadFile(file), info).Status, ConvertStatus::Converted);
            EXPECT_EQ(info.CanvasWidth, out[1].Width) << name;
            int wrong = 0;
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 6; ++x) {
                    const auto [ox, oy] = Oriented(x, y, 6, 4, turns, axis);
                    wrong += PixelAt(out[1], ox, oy) != PixelAt(upright, x, y);
                }
            EXPECT_EQ(wrong, 0) << name;
        }
}

TEST(AvifTest, StillsWriteNothingAndDamagedFilesEndWithAReason)
{
    REQUIRE_TOOLS("avifenc");
    TempDir dir;
    const auto frames = WriteFrames(dir, 8, 8, true);
    ASSERT_EQ(RunProgram("avifenc -s 8 " + frames[0] + " " + dir / "still.avif").Status, 0);
    ASSERT_EQ(RunProgram("avifenc -s 8" + Joined(frames) + " " + dir / "anim.avif").Status, 0);
    const ConvertResult still = ConvertDroppedFile(dir / "still.avif");
    EXPECT_EQ(still.Status, ConvertStatus::NotAnimation);
    EXPECT_EQ(still.Reason, "a still AVIF image, not an animation");
    EXPECT_FALSE(fs::exists(dir / "still"));

    const Bytes whole = ReadFile(dir / "anim.avif");
    Bytes corrupt = whole;
    for (std::size_t i = corrupt.size() / 2; i < corrupt.size(); i += 3) corrupt[i] ^= 0x5A;
    std::uint64_t handed = 0;
    const ConvertResult r = ConvertAvifData(corrupt, [&](std::uint64_t, const Bitmap&) { return ++handed > 0; }, {});
    if (r.Status != ConvertStatus::Converted) {
        EXPECT_FALSE(r.Reason.empty());
    }
}

// libavif's own test files, taken from its source archive: an animation, the
// same with an audio track (which must not stop it), with alpha, and with that
// alpha track relabelled as depth (which is not alpha); their loop counts.
TEST(AvifTest, LibavifsAnimationsWithAudioDepthAndLoopCounts)
{
    const std::string archive = FRAMELOT_LIBAVIF_SOURCE;
    if (archive.empty()) GTEST_SKIP() << "built with the system's libavif, without its source archive (scripts/deps.sh linux)";
    TempDir dir;
    ASSERT_EQ(RunProgram("tar -xzf " + Quoted(archive) + " -C " + Quoted(dir.Path.string()) +
                         " --strip-components=3 --wildcards '*/tests/data/colors-animated-8bpc*.avif'").Status, 0);
    const auto frames = [&](const char* name) {
        SCOPED_TRACE(name);
        const ConvertResult dropped = ConvertDroppedFile(dir / name);
        EXPECT_EQ(dropped.Status, ConvertStatus::Converted) << dropped.Reason;
        return Convert(ConvertAvifData, dir / name);
    };
    const auto loops = [&](const char* name) {
        AnimationInfo info;
        EXPECT_EQ(ReadAvifInfo(ReadFile(dir / name), info).Status, ConvertStatus::Converted) << name;
        return info.Loops;
    };
    const auto plain = frames("colors-animated-8bpc.avif");
    ASSERT_EQ(plain.size(), 5u);
    const auto audio = frames("colors-animated-8bpc-audio.avif");
    ASSERT_EQ(audio.size(), plain.size());
    for (std::size_t k = 0; k < plain.size(); ++k) EXPECT_EQ(audio[k].Pixels, plain[k].Pixels) << "frame " << k;

    const auto alpha = frames("colors-animated-8bpc-alpha-exif-xmp.avif");
    const auto depth = frames("colors-animated-8bpc-depth-exif-xmp.avif");
    ASSERT_EQ(alpha.size(), 5u);
    ASSERT_EQ(depth.size(), 5u);
    int translucent = 0, notOpaque = 0, colourDiffers = 0;
    for (std::size_t k = 0; k < depth.size(); ++k)
        for (std::size_t i = 0; i < depth[k].Pixels.size(); i += 4) {
            translucent += alpha[k].Pixels[i + 3] < 255;
            notOpaque += depth[k].Pixels[i + 3] != 255;
            colourDiffers += !std::equal(&depth[k].Pixels[i], &depth[k].Pixels[i + 3], &alpha[k].Pixels[i]);
        }
    EXPECT_GT(translucent, 0);
    EXPECT_EQ(notOpaque, 0);
    EXPECT_EQ(colourDiffers, 0);

    EXPECT_EQ(loops("colors-animated-8bpc.avif"), 1u);  // played once
    EXPECT_EQ(loops("colors-animated-8bpc-audio.avif"), 1u);
    EXPECT_EQ(loops("colors-animated-8bpc-alpha-exif-xmp.avif"), 0u);  // forever
}

// An animated GIF made into lossless JPEG XL: the decoder's composed frames
// are the GIF's frames exactly; lossy, they are close.
TEST(JxlTest, LosslessFramesEqualTheAnimationTheyWereMadeFrom)
{
    REQUIRE_TOOLS("cjxl");
    TempDir dir;
    GifSpec gif{.ScreenWidth = 36, .ScreenHeight = 24, .Palette = FourColours()};
    for (int f = 0; f < 5; ++f) {
        GifFrameSpec frame = SolidGifFrame(0, 0, 36, 24, 0, 1);
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 36; ++x) frame.Indices[std::size_t(y) * 36 + x] = std::uint8_t((x / 12 + y / 12 + f) % 4);
        frame.Delay = 10;
        gif.Frames.push_back(frame);
    }
    WriteFile(dir / "a.gif", BuildGif(gif));
    const auto expected = Convert(ConvertGifData, dir / "a.gif");
    ASSERT_EQ(RunProgram("cjxl -d 0 " + dir / "a.gif" + " " + dir / "a.jxl").Status, 0);
    ASSERT_EQ(RunProgram("cjxl -d 1 " + dir / "a.gif" + " " + dir / "lossy.jxl").Status, 0);
    const auto lossless = Convert(ConvertJxlData, dir / "a.jxl");
    const auto lossy = Convert(ConvertJxlData, dir / "lossy.jxl");
    ASSERT_EQ(lossless.size(), expected.size());
    ASSERT_EQ(lossy.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(lossless[i].Pixels == expected[i].Pixels) << i;
        std::uint64_t error = 0;
        for (std::size_t b = 0; b < expected[i].Pixels.size(); ++b) {
            error += static_cast<std::uint64_t>(std::abs(int(lossy[i].Pixels[b]) - int(expected[i].Pixels[b])));
        }
        EXPECT_LE(error / expected[i].Pixels.size(), 6u) << i;  // mean error a sample
    }
}

// `frames` opaque 1 x 1 frames of 3 ticks of 1/25 s, each cropped to a
// pixel of a canvas x canvas image: a small file with a large canvas.
Bytes CroppedJxl(std::uint32_t canvas, int frames)
{
    JxlEncoderPtr encoder = JxlEncoderMake(nullptr);
    JxlBasicInfo basic;
    JxlEncoderInitBasicInfo(&basic);
    basic.xsize = basic.ysize = canvas;
    basic.bits_per_sample = 8;
    basic.uses_original_profile = JXL_TRUE;
    basic.have_animation = JXL_TRUE;
    basic.animation.tps_numerator = 25;
    basic.animation.tps_denominator = 1;
    EXPECT_EQ(JxlEncoderSetBasicInfo(encoder.get(), &basic), JXL_ENC_SUCCESS);
    JxlColorEncoding srgb;
    JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
    EXPECT_EQ(JxlEncoderSetColorEncoding(encoder.get(), &srgb), JXL_ENC_SUCCESS);
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder.get(), nullptr);
    JxlEncoderSetFrameLossless(settings, JXL_TRUE);
    const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    for (int f = 0; f < frames; ++f) {
        JxlFrameHeader header;
        JxlEncoderInitFrameHeader(&header);
        header.duration = 3;
        header.layer_info.have_crop = JXL_TRUE;
        header.layer_info.crop_x0 = f % 7;
        header.layer_info.xsize = header.layer_info.ysize = 1;
        EXPECT_EQ(JxlEncoderSetFrameHeader(settings, &header), JXL_ENC_SUCCESS);
        const std::uint8_t pixel[3] = {std::uint8_t(f * 9), 100, 200};
        EXPECT_EQ(JxlEncoderAddImageFrame(settings, &format, pixel, sizeof pixel), JXL_ENC_SUCCESS);
    }
    JxlEncoderCloseInput(encoder.get());
    Bytes out(4096);
    std::uint8_t* next = out.data();
    std::size_t room = out.size();
    while (JxlEncoderProcessOutput(encoder.get(), &next, &room) == JXL_ENC_NEED_MORE_OUTPUT) {
        const std::size_t used = static_cast<std::size_t>(next - out.data());
        out.resize(out.size() * 2);
        next = out.data() + used;
        room = out.size() - used;
    }
    out.resize(static_cast<std::size_t>(next - out.data()));
    return out;
}

// --info and conversion read the same index: the same count (announced before
// the first frame), the same display times, the same limits.
TEST(JxlTest, InfoAndConversionAgreeOnCountTimesAndLimits)
{
    const Bytes small = CroppedJxl(16, 4);
    AnimationInfo info;
    ASSERT_EQ(ReadJxlInfo(small, info).Status, ConvertStatus::Converted);
    ASSERT_EQ(info.Frames.size(), 4u);
    EXPECT_EQ(info.Frames[1].DelayMs, 120);  // 3 ticks at 25 a second
    EXPECT_EQ(info.Frames[1].RawDelay, "3 ticks of 1/25 s");
    std::vector<std::uint64_t> announced;
    CollectedFrames frames;
    EXPECT_EQ(ConvertJxlData(small, frames.Sink(), [&](std::uint64_t n) { announced.push_back(n); }).Status,
              ConvertStatus::Converted);
    EXPECT_EQ(announced, std::vector<std::uint64_t>{4});
    EXPECT_EQ(frames.Frames.size(), 4u);

    // Each frame is within the canvas limit; together they pass the limit on
    // pixels written.
    const std::uint32_t side = 10'000;
    static_assert(std::uint64_t{side} * side <= MaxCanvasPixels);
    const int over = static_cast<int>(MaxOutputPixels / (std::uint64_t{side} * side)) + 1;
    const Bytes large = CroppedJxl(side, over);
    AnimationInfo ignored;
    const ConvertResult described = ReadJxlInfo(large, ignored);
    const ConvertResult converted = ConvertJxlData(large, [](std::uint64_t, const Bitmap&) { ADD_FAILURE(); return false; }, {});
    EXPECT_EQ(described.Failure, FailureKind::OverLimit);
    EXPECT_EQ(described.Reason, "frames x canvas size is over the program's limit");
    EXPECT_EQ(converted.Reason, described.Reason);
    EXPECT_EQ(converted.Status, ConvertStatus::Failed);
}

TEST(JxlTest, StillsWriteNothingAndDamagedFilesKeepTheFramesBeforeTheDamage)
{
    REQUIRE_TOOLS("cjxl");
    TempDir dir;
    WriteFile(dir / "s.png", BuildPlainPng(3, 3, SolidRgba(3, 3, 10, 20, 30, 255)));
    ASSERT_EQ(RunProgram("cjxl -d 0 " + dir / "s.png" + " " + dir / "still.jxl").Status, 0);
    const ConvertResult still = ConvertDroppedFile(dir / "still.jxl");
    EXPECT_EQ(still.Status, ConvertStatus::NotAnimation);
    EXPECT_EQ(still.Reason, "a still JPEG XL image, not an animation");
    EXPECT_FALSE(fs::exists(dir / "still"));

    GifSpec gif{.ScreenWidth = 4, .ScreenHeight = 4, .Palette = FourColours()};
    for (int f = 0; f < 3; ++f) {
        GifFrameSpec frame = SolidGifFrame(0, 0, 4, 4, std::uint8_t(f + 1), 1);
        frame.Delay = 5;
        gif.Frames.push_back(frame);
    }
    WriteFile(dir / "a.gif", BuildGif(gif));
    ASSERT_EQ(RunProgram("cjxl -d 0 " + dir / "a.gif" + " " + dir / "a.jxl").Status, 0);
    const Bytes whole = ReadFile(dir / "a.jxl");
    std::set<std::uint64_t> damagedAt;
    for (std::size_t n = 0; n < whole.size(); ++n) {
        const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
        std::uint64_t handed = 0;
        const ConvertResult r = ConvertJxlData(cut, [&](std::uint64_t i, const Bitmap& f) {
            EXPECT_EQ(i, handed++);
            EXPECT_EQ(f.Width, 4);
            return true;
        }, {});
        // Cut inside frame k > 0: frames 0 to k - 1 were handed on and the
        // file converts with the damage said; cut before, it fails.
        if (handed > 0) {
            EXPECT_EQ(r.Status, ConvertStatus::Converted) << n;
            EXPECT_EQ(r.Damage, JxlMissingFrames(handed)) << n;
            damagedAt.insert(handed);
        } else {
            EXPECT_NE(r.Status, ConvertStatus::Converted) << n;
            EXPECT_FALSE(r.Reason.empty()) << n;
        }
        AnimationInfo info;
        // --info reads headers only: it may miss a cut inside the last frame's
        // data, but never reports a partial count as whole.
        if (ReadJxlInfo(cut, info).Status == ConvertStatus::Converted) {
            EXPECT_TRUE(info.Frames.size() == 3u || (info.Frames.size() < 3u && !info.Damage.empty())) << n;
        }
    }
    EXPECT_TRUE(damagedAt.count(1) && damagedAt.count(2)) << "no cut fell inside frame 1 or frame 2";

    // Damaged after its first frame, with frames asked for that the damage
    // took: the file is damaged (and says where), not a usage error.
    for (std::size_t n = whole.size(); n-- > 0;) {
        const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
        std::uint64_t handed = 0;
        ConvertJxlData(cut, [&](std::uint64_t, const Bitmap&) { return ++handed, true; }, {});
        if (handed != 1) continue;
        WriteFile(dir / "cut.jxl", cut);
        OutputOptions o;
        std::string error;
        o.Frames = ParseFrameList("1,3-", error).value();
        const ConvertResult r = ConvertDroppedFile(dir / "cut.jxl", o, 0);
        EXPECT_EQ(r.Status, ConvertStatus::Failed) << r.Reason;
        EXPECT_EQ(r.Failure, FailureKind::Damaged) << r.Reason;
        EXPECT_EQ(r.Reason.find("past its end"), std::string::npos) << r.Reason;
        EXPECT_FALSE(fs::exists(dir / "cut")) << "a file with nothing written keeps no folder";
        break;
    }
}

}  // namespace
}  // namespace framelot

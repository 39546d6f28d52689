// libwebp's own animation decoder as an oracle for the WebP converter: over
// every animated WebP of the public suites and over seeded random animations
// (offsets, alpha, blend and dispose, lossless and lossy), our frames must
// agree with its canvases wherever our documented rules and its rules meet:
// on the area both canvases cover, alpha everywhere, colour where alpha is not
// 0 (ours keeps the background colour there, it keeps 0). Its compositor
// approximates division by 255 with shifts, so blended pixels may differ by a
// few levels.
#include <gtest/gtest.h>

#include <webp/demux.h>

#include <cstdlib>
#include <random>

#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"
#include "webp/WebpConvert.h"

namespace framelot {
namespace {

using namespace test;

constexpr int BlendTolerance = 3;

// Every canvas libwebp's animation decoder gives, as RGBA bitmaps.
std::vector<Bitmap> OracleFrames(const Bytes& bytes)
{
    std::vector<Bitmap> frames;
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) return frames;
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    const WebPData data{bytes.data(), bytes.size()};
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    if (decoder == nullptr) return frames;
    WebPAnimInfo info;
    WebPAnimDecoderGetInfo(decoder, &info);
    std::uint8_t* canvas = nullptr;
    int timestamp = 0;
    while (WebPAnimDecoderHasMoreFrames(decoder) && WebPAnimDecoderGetNext(decoder, &canvas, &timestamp)) {
        Bitmap b = MakeBitmap(static_cast<int>(info.canvas_width), static_cast<int>(info.canvas_height));
        std::copy(canvas, canvas + b.Pixels.size(), b.Pixels.begin());
        frames.push_back(std::move(b));
    }
    WebPAnimDecoderDelete(decoder);
    return frames;
}

::testing::AssertionResult AgreesWithOracle(const Bytes& webp)
{
    CollectedFrames ours;
    const ConvertResult r = ConvertWebpData(webp, ours.Sink());
    const std::vector<Bitmap> theirs = OracleFrames(webp);
    if (r.Status != ConvertStatus::Converted) return ::testing::AssertionFailure() << "not converted: " << r.Reason;
    if (ours.Frames.size() != theirs.size()) {
        return ::testing::AssertionFailure() << ours.Frames.size() << " frames, oracle " << theirs.size();
    }
    for (std::size_t k = 0; k < theirs.size(); ++k) {
        const Bitmap& a = ours.Frames[k];
        const Bitmap& b = theirs[k];
        for (int y = 0; y < std::min(a.Height, b.Height); ++y) {
            for (int x = 0; x < std::min(a.Width, b.Width); ++x) {
                const auto p = PixelAt(a, x, y), q = PixelAt(b, x, y);
                // A blended pixel may come out opaque, so the tolerance holds everywhere.
                bool same = std::abs(p[3] - q[3]) <= 1;
                for (int c = 0; c < 3 && p[3] != 0; ++c) same = same && std::abs(p[c] - q[c]) <= BlendTolerance;
                if (!same) {
                    return ::testing::AssertionFailure() << "frame " << k << " at " << x << "," << y << ": ours "
                                                         << p[0] << "," << p[1] << "," << p[2] << "," << p[3]
                                                         << ", oracle " << q[0] << "," << q[1] << "," << q[2] << ","
                                                         << q[3];
                }
            }
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(WebpOracleTest, SeededRandomAnimationsAgreeWithLibwebp)
{
    std::mt19937 rng(7);
    for (int file = 0; file < 24; ++file) {
        const int side = 8 + static_cast<int>(rng() % 24) * 2;
        WebpSpec animation{.CanvasWidth = side, .CanvasHeight = side, .Background = static_cast<std::uint32_t>(rng())};
        const int frames = 2 + static_cast<int>(rng() % 6);
        for (int f = 0; f < frames; ++f) {
            const int x = static_cast<int>(rng() % (side / 2)) * 2, y = static_cast<int>(rng() % (side / 2)) * 2;
            const int w = 1 + static_cast<int>(rng() % static_cast<unsigned>(side - x));
            const int h = 1 + static_cast<int>(rng() % static_cast<unsigned>(side - y));
            Bytes rgba;
            const int alphaKind = static_cast<int>(rng() % 3);  // opaque, holes, translucent
            for (int i = 0; i < w * h; ++i) {
                const std::uint8_t a = alphaKind == 0 ? 255 : alphaKind == 1 ? (rng() % 2 ? 255 : 0)
                                                                              : static_cast<std::uint8_t>(rng());
                rgba.insert(rgba.end(), {std::uint8_t(rng()), std::uint8_t(rng()), std::uint8_t(rng()), a});
            }
            animation.Frames.push_back({.X = x, .Y = y, .Width = w, .Height = h, .Rgba = rgba,
                                   .DisposeBackground = rng() % 3 == 0, .NoBlend = rng() % 3 == 0,
                                   .Lossy = alphaKind == 0 && rng() % 4 == 0});
        }
        EXPECT_TRUE(AgreesWithOracle(BuildAnimatedWebp(animation))) << "file " << file;
    }
}

TEST(WebpOracleTest, EveryAnimatedWebpOfTheSuitesAgreesWithLibwebp)
{
    const char* env = std::getenv("FRAMELOT_CORPUS");
    const fs::path root = env && *env ? fs::path(env) : fs::path(FRAMELOT_CORPUS_DEFAULT);
    if (!fs::is_directory(root)) GTEST_SKIP() << "corpus not found at " << root;
    int checked = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.path().extension() != ".webp") continue;
        const Bytes bytes = ReadFile(entry.path().string());
        if (OracleFrames(bytes).size() < 2) continue;
        EXPECT_TRUE(AgreesWithOracle(bytes)) << entry.path();
        ++checked;
    }
    EXPECT_GE(checked, 7);
}

}  // namespace
}  // namespace framelot

// Writes the benchmark's animations into a folder: seeded, so every run makes
// the same bytes. Each is 240 frames of 520 x 520 with partial-frame updates,
// transparency and offsets; the lossy WebP has noisy full frames.
#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"

using namespace framelot::test;

namespace {

constexpr int Side = 520;
constexpr int Frames = 240;

// A smooth scene with a moving disc: what screen recordings and stickers look like.
std::array<std::uint8_t, 4> Scene(int x, int y, int t)
{
    const double cx = 260 + 180 * std::cos(t * 0.07), cy = 260 + 180 * std::sin(t * 0.05);
    const double d = std::hypot(x - cx, y - cy);
    if (d < 60) return {std::uint8_t(230), std::uint8_t(120 + t % 100), std::uint8_t(40), 255};
    return {std::uint8_t((x + t) & 0xFF), std::uint8_t((y * 2) & 0xFF), std::uint8_t((x ^ y) & 0xFF), 255};
}

Bytes MakeGif(std::mt19937& rng)
{
    std::vector<Rgb> palette;
    for (int i = 0; i < 256; ++i) palette.push_back(Rgb{std::uint8_t((i & 7) * 36), std::uint8_t(((i >> 3) & 7) * 36), std::uint8_t((i >> 6) * 85)});
    auto index = [](const std::array<std::uint8_t, 4>& c) {
        return std::uint8_t(1 + ((c[0] / 36) & 7) + (((c[1] / 36) & 7) << 3) + ((c[2] / 85) << 6)) ;
    };
    GifSpec gif{.ScreenWidth = Side, .ScreenHeight = Side, .Palette = palette};
    for (int t = 0; t < Frames; ++t) {
        const int w = t == 0 ? Side : 80 + int(rng() % 240), h = t == 0 ? Side : 80 + int(rng() % 240);
        const int x = t == 0 ? 0 : int(rng() % (Side - w)), y = t == 0 ? 0 : int(rng() % (Side - h));
        GifFrameSpec f = SolidGifFrame(x, y, w, h, 0, t == 0 ? 1 : 1 + int(rng() % 3));
        f.Transparent = 0;
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) {
                const bool keep = t > 0 && ((i / 16 + j / 16 + t) % 3 == 0);  // transparent holes
                f.Indices[static_cast<std::size_t>(j) * w + i] = keep ? 0 : index(Scene(x + i, y + j, t));
            }
        gif.Frames.push_back(f);
    }
    return BuildGif(gif);
}

Bytes MakeApng(std::mt19937& rng)
{
    ApngSpec apng{.Width = Side, .Height = Side};
    for (int t = 0; t < Frames; ++t) {
        const std::uint32_t w = t == 0 ? Side : 80 + rng() % 240, h = t == 0 ? Side : 80 + rng() % 240;
        const std::uint32_t x = t == 0 ? 0 : rng() % (Side - w), y = t == 0 ? 0 : rng() % (Side - h);
        ApngFrameSpec f{.Width = w, .Height = h, .X = x, .Y = y, .Dispose = std::uint8_t(t == 0 ? 0 : rng() % 3), .Blend = std::uint8_t(t == 0 ? 0 : (rng() % 4 != 0))};
        for (std::uint32_t j = 0; j < h; ++j)
            for (std::uint32_t i = 0; i < w; ++i) {
                auto c = Scene(int(x + i), int(y + j), t);
                if (t > 0 && (i / 20 + j / 20) % 4 == 0) c[3] = std::uint8_t((i * 4) & 0xFF);  // translucent bands
                f.Pixels.insert(f.Pixels.end(), c.begin(), c.end());
            }
        apng.Frames.push_back(f);
    }
    return BuildApng(apng);
}

Bytes MakeWebp(std::mt19937& rng, bool lossy)
{
    WebpSpec webp{.CanvasWidth = Side, .CanvasHeight = Side, .Background = 0xFFFFFFFF};
    std::normal_distribution<double> noise(0, 18);
    for (int t = 0; t < Frames; ++t) {
        const bool full = lossy || t == 0;
        const int w = full ? Side : 80 + int(rng() % 240) * 2 / 2, h = full ? Side : 80 + int(rng() % 240);
        const int x = full ? 0 : int(rng() % ((Side - w) / 2)) * 2, y = full ? 0 : int(rng() % ((Side - h) / 2)) * 2;
        WebpFrameSpec f{.X = x, .Y = y, .Width = w, .Height = h, .DisposeBackground = !full && rng() % 4 == 0, .NoBlend = !full && rng() % 3 == 0, .Lossy = lossy};
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) {
                auto c = Scene(x + i, y + j, t);
                if (lossy) {
                    for (int k = 0; k < 3; ++k) c[k] = std::uint8_t(std::clamp(c[k] + noise(rng), 0.0, 255.0));
                } else if (t > 0 && (i / 20 + j / 20) % 4 == 0) {
                    c[3] = std::uint8_t((i * 4) & 0xFF);
                }
                f.Rgba.insert(f.Rgba.end(), c.begin(), c.end());
            }
        webp.Frames.push_back(f);
    }
    return BuildAnimatedWebp(webp);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    std::mt19937 rng(20261207);
    WriteFile(folder + "/scene.gif", MakeGif(rng));
    WriteFile(folder + "/scene.png", MakeApng(rng));
    WriteFile(folder + "/scene.webp", MakeWebp(rng, false));
    WriteFile(folder + "/noisy.webp", MakeWebp(rng, true));
    return 0;
}

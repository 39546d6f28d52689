// Writes the benchmark's animations into a folder: seeded, so every run makes
// the same bytes. Each is 520 x 520, 240 frames unless said: partial-frame
// updates, transparency and offsets; a lossy WebP with noisy full frames; a
// few-colour GIF as an optimizer writes it; a dithered photograph-like GIF;
// an APNG with a sprite drawn as an assembler writes it; AVIF and JPEG XL of
// a smooth scene; and the kinds people bring that we did not tune on: an
// eight-colour dithered, optimised GIF with transparency, an encoder's APNG
// of a semi-transparent scene, a long (600-frame) lossy WebP, and that APNG
// as an AVIF and that GIF as a lossless JPEG XL. With --generated, instead,
// animations drawn from random families by a seed.
#include <avif/avif.h>
#include <jxl/encode.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <cstdio>
#include <random>
#include <string>

#include "testing/FixtureBuilders.h"
#include "testing/GeneratedAnimations.h"
#include "testing/TestSupport.h"

using namespace framelot::test;

namespace {

constexpr int Side = 520;
constexpr int Frames = 240;
constexpr int LongFrames = 600;

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

// The frame a GIF optimizer writes for `current` (Side x Side indices) after
// `previous`: the rectangle that changed (all of the first frame, one pixel
// where nothing changed), unchanged pixels transparent, disposed as none.
GifFrameSpec ChangedRectangle(const std::vector<std::uint8_t>& previous, const std::vector<std::uint8_t>& current,
                              bool first, std::uint8_t transparent)
{
    int left = Side, top = Side, right = -1, bottom = -1;
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x)
            if (first || current[y * Side + x] != previous[y * Side + x]) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    if (right < 0) left = top = right = bottom = 0;  // nothing changed
    GifFrameSpec f = SolidGifFrame(left, top, right - left + 1, bottom - top + 1, transparent, 1);
    f.Transparent = transparent;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            const std::uint8_t c = current[y * Side + x];
            const bool same = !first && c == previous[y * Side + x];
            f.Indices[static_cast<std::size_t>(y - top) * f.Width + (x - left)] = same ? transparent : c;
        }
    return f;
}

// Few colours as a GIF optimizer leaves them: frame 0 whole, then only the
// rectangle that changed, with unchanged pixels transparent, and a 1 x 1
// transparent frame where nothing moved (a pause).
Bytes MakeOptimizedGif()
{
    const std::vector<Rgb> palette = {{135, 206, 235}, {34, 139, 34}, {255, 255, 255}, {220, 20, 60},
                                      {255, 215, 0},  {25, 25, 112}, {139, 69, 19},   {0, 0, 0}};
    constexpr std::uint8_t Transparent = 8;
    std::vector<Rgb> table = palette;
    table.resize(16, Rgb{0, 0, 0});
    auto render = [](int t, std::vector<std::uint8_t>& px) {
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; ++x) {
                std::uint8_t c = y > 400 ? 1 : 0;  // sky and grass
                const int moved = (t / 2) * 2;     // every other frame is a pause
                if (std::hypot(x - (60 + moved * 1.6), y - 300) < 40) c = 3;
                if (std::abs(x - (460 - moved)) < 30 && std::abs(y - (200 + 80 * std::sin(moved * 0.1))) < 30) c = 4;
                if (std::hypot(x - 260, y - 100) < 50 + 10 * std::sin(moved * 0.2)) c = 2;
                if (x > 240 && x < 280 && y > 350 && y < 410) c = 6;
                px[static_cast<std::size_t>(y) * Side + x] = c;
            }
    };
    GifSpec gif{.ScreenWidth = Side, .ScreenHeight = Side, .Palette = table};
    std::vector<std::uint8_t> previous(Side * Side), current(Side * Side);
    for (int t = 0; t < Frames; ++t) {
        render(t, current);
        gif.Frames.push_back(ChangedRectangle(previous, current, t == 0, Transparent));
        std::swap(previous, current);
    }
    return BuildGif(gif);
}

// A photograph-like picture panning slowly, dithered to 252 colours (6 x 7 x 6
// levels) with Floyd-Steinberg error diffusion: whole frames, every one new.
Bytes MakeDitheredGif()
{
    constexpr int Reds = 6, Greens = 7, Blues = 6;
    std::vector<Rgb> palette;
    for (int r = 0; r < Reds; ++r)
        for (int g = 0; g < Greens; ++g)
            for (int b = 0; b < Blues; ++b)
                palette.push_back({std::uint8_t(r * 255 / (Reds - 1)), std::uint8_t(g * 255 / (Greens - 1)),
                                   std::uint8_t(b * 255 / (Blues - 1))});
    palette.resize(256, Rgb{0, 0, 0});
    GifSpec gif{.ScreenWidth = Side, .ScreenHeight = Side, .Palette = palette};
    std::vector<float> error(static_cast<std::size_t>(Side + 2) * 2 * 3);
    for (int t = 0; t < Frames; ++t) {
        GifFrameSpec f = SolidGifFrame(0, 0, Side, Side, 0, 1);
        std::fill(error.begin(), error.end(), 0.0f);
        for (int y = 0; y < Side; ++y) {
            float* here = error.data() + static_cast<std::size_t>(y % 2) * (Side + 2) * 3;
            float* next = error.data() + static_cast<std::size_t>((y + 1) % 2) * (Side + 2) * 3;
            std::fill(next, next + (Side + 2) * 3, 0.0f);
            for (int x = 0; x < Side; ++x) {
                const double u = x + t * 1.5, v = y + t * 0.5;
                const double light = 0.5 + 0.5 * std::sin(u * 0.013) * std::cos(v * 0.011);
                const double texture = 0.08 * std::sin(u * 0.21 + std::sin(v * 0.07) * 3) * std::cos(v * 0.17);
                const double want[3] = {255 * std::clamp(light * 0.9 + texture, 0.0, 1.0),
                                        255 * std::clamp(0.3 + 0.5 * light * light + texture, 0.0, 1.0),
                                        255 * std::clamp(0.8 - 0.6 * light + texture, 0.0, 1.0)};
                int level[3];
                const int levels[3] = {Reds, Greens, Blues};
                for (int c = 0; c < 3; ++c) {
                    const double value = std::clamp(want[c] + here[(x + 1) * 3 + c], 0.0, 255.0);
                    level[c] = int(std::lround(value * (levels[c] - 1) / 255.0));
                    const float e = float(value - level[c] * 255.0 / (levels[c] - 1));
                    here[(x + 2) * 3 + c] += e * 7 / 16;
                    next[x * 3 + c] += e * 3 / 16;
                    next[(x + 1) * 3 + c] += e * 5 / 16;
                    next[(x + 2) * 3 + c] += e / 16;
                }
                f.Indices[static_cast<std::size_t>(y) * Side + x] =
                    std::uint8_t((level[0] * Greens + level[1]) * Blues + level[2]);
            }
        }
        gif.Frames.push_back(f);
    }
    return BuildGif(gif);
}

// As an APNG assembler writes a sprite over a still background: frame 0 the
// whole picture; then the sprite's rectangle, drawn over with dispose
// previous, so the background comes back after it; every tenth frame repaints
// a band of the background (blend source, dispose none).
Bytes MakeEncoderApng()
{
    auto background = [](int x, int y, int t) {
        const int shift = (t / 10) * 7;
        return std::array<std::uint8_t, 4>{std::uint8_t((x / 2 + shift) & 0xFF), std::uint8_t(80 + y / 4),
                                           std::uint8_t(200 - y / 3), 255};
    };
    ApngSpec apng{.Width = Side, .Height = Side};
    ApngFrameSpec first{.Width = Side, .Height = Side};
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) {
            const auto c = background(x, y, 0);
            first.Pixels.insert(first.Pixels.end(), c.begin(), c.end());
        }
    apng.Frames.push_back(first);
    constexpr int Sprite = 120, BandHeight = 64;
    for (int t = 1; t < Frames; ++t) {
        if (t % 10 == 0) {
            const std::uint32_t top = static_cast<std::uint32_t>((t * 37) % (Side - BandHeight));
            ApngFrameSpec band{.Width = Side, .Height = BandHeight, .X = 0, .Y = top};
            for (int y = 0; y < BandHeight; ++y)
                for (int x = 0; x < Side; ++x) {
                    const auto c = background(x, int(top) + y, t);
                    band.Pixels.insert(band.Pixels.end(), c.begin(), c.end());
                }
            apng.Frames.push_back(band);
            continue;
        }
        const int cx = 60 + (t * 3) % (Side - Sprite), cy = 60 + int(150 + 140 * std::sin(t * 0.05));
        ApngFrameSpec sprite{.Width = Sprite, .Height = Sprite, .X = std::uint32_t(cx - 60), .Y = std::uint32_t(cy - 60),
                             .Dispose = 2, .Blend = 1};
        for (int y = 0; y < Sprite; ++y)
            for (int x = 0; x < Sprite; ++x) {
                const double d = std::hypot(x - 60.0, y - 60.0);
                const double a = std::clamp((55 - d) / 12, 0.0, 1.0) * 0.85;  // soft, translucent edge
                sprite.Pixels.insert(sprite.Pixels.end(), {std::uint8_t(250), std::uint8_t(100 + x), std::uint8_t(40 + y),
                                                           std::uint8_t(std::lround(a * 255))});
            }
        apng.Frames.push_back(sprite);
    }
    return BuildApng(apng);
}

// The smooth scene, whole frames, with a translucent band: what the newer
// formats are used for.
Bytes SceneRgba(int t)
{
    Bytes rgba;
    rgba.reserve(Side * Side * 4);
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) {
            auto c = Scene(x, y, t);
            if (y > 440) c[3] = std::uint8_t(255 - (y - 440) * 3);
            rgba.insert(rgba.end(), {c[0], c[1], c[2], c[3]});
        }
    return rgba;
}

// An AV1 image sequence, lossy with alpha, at a fast speed, of frames(t).
template <typename FrameFunction>
Bytes MakeAvif(FrameFunction frames, int width = Side, int height = Side, int count = Frames)
{
    avifEncoder* encoder = avifEncoderCreate();
    encoder->speed = 8;  // the fastest speeds use a real-time mode that libaom 3.6 asserts on here
    encoder->maxThreads = 2;
    encoder->minQuantizer = 20;
    encoder->maxQuantizer = 30;
    encoder->minQuantizerAlpha = 10;
    encoder->maxQuantizerAlpha = 20;
    encoder->timescale = 25;
    for (int t = 0; t < count; ++t) {
        Bytes rgba = frames(t);
        avifImage* image = avifImageCreate(width, height, 8, AVIF_PIXEL_FORMAT_YUV420);
        avifRGBImage rgb;
        avifRGBImageSetDefaults(&rgb, image);
        rgb.pixels = rgba.data();
        rgb.rowBytes = static_cast<std::uint32_t>(width) * 4;
        if (avifImageRGBToYUV(image, &rgb) != AVIF_RESULT_OK ||
            avifEncoderAddImage(encoder, image, 1, AVIF_ADD_IMAGE_FLAG_NONE) != AVIF_RESULT_OK) {
            throw std::runtime_error("avif encoding");
        }
        avifImageDestroy(image);
    }
    avifRWData out = AVIF_DATA_EMPTY;
    if (avifEncoderFinish(encoder, &out) != AVIF_RESULT_OK) throw std::runtime_error("avif encoding");
    Bytes bytes(out.data, out.data + out.size);
    avifRWDataFree(&out);
    avifEncoderDestroy(encoder);
    return bytes;
}

// A JPEG XL animation with alpha of frames(t): lossy at a low effort, or
// lossless at the default one.
template <typename FrameFunction>
Bytes MakeJxl(FrameFunction frames, bool lossless, int width = Side, int height = Side, int count = Frames)
{
    JxlEncoder* encoder = JxlEncoderCreate(nullptr);
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = static_cast<std::uint32_t>(width);
    info.ysize = static_cast<std::uint32_t>(height);
    info.bits_per_sample = 8;
    info.alpha_bits = 8;
    info.num_extra_channels = 1;
    info.have_animation = JXL_TRUE;
    info.uses_original_profile = lossless ? JXL_TRUE : JXL_FALSE;
    info.animation.tps_numerator = 25;
    info.animation.tps_denominator = 1;
    JxlColorEncoding srgb;
    JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
    if (JxlEncoderSetBasicInfo(encoder, &info) != JXL_ENC_SUCCESS ||
        JxlEncoderSetColorEncoding(encoder, &srgb) != JXL_ENC_SUCCESS) {
        throw std::runtime_error("jxl encoding");
    }
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder, nullptr);
    // Lossless at cjxl's default effort, as `cjxl anim.gif` makes it.
    JxlEncoderFrameSettingsSetOption(settings, JXL_ENC_FRAME_SETTING_EFFORT, lossless ? 7 : 3);
    if (lossless) {
        JxlEncoderSetFrameLossless(settings, JXL_TRUE);
    } else {
        JxlEncoderSetFrameDistance(settings, 1.0f);
    }
    const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    for (int t = 0; t < count; ++t) {
        JxlFrameHeader header;
        JxlEncoderInitFrameHeader(&header);
        header.duration = 1;
        const Bytes rgba = frames(t);
        if (JxlEncoderSetFrameHeader(settings, &header) != JXL_ENC_SUCCESS ||
            JxlEncoderAddImageFrame(settings, &format, rgba.data(), rgba.size()) != JXL_ENC_SUCCESS) {
            throw std::runtime_error("jxl encoding");
        }
    }
    JxlEncoderCloseInput(encoder);
    Bytes out(1 << 20);
    std::uint8_t* next = out.data();
    std::size_t left = out.size();
    for (JxlEncoderStatus status; (status = JxlEncoderProcessOutput(encoder, &next, &left)) != JXL_ENC_SUCCESS;) {
        if (status != JXL_ENC_NEED_MORE_OUTPUT) throw std::runtime_error("jxl encoding");
        const std::size_t used = static_cast<std::size_t>(next - out.data());
        out.resize(out.size() * 2);
        next = out.data() + used;
        left = out.size() - used;
    }
    out.resize(static_cast<std::size_t>(next - out.data()));
    JxlEncoderDestroy(encoder);
    return out;
}

}  // namespace

// Eight colours as a quantizer leaves a gradient: dithered (Floyd-Steinberg)
// to seven colours, with a transparent hole and discs moving over it, and
// optimised as an encoder writes it: frame 0 whole, then the rectangle that
// changed, with unchanged pixels transparent. Fills `composed` with each
// frame as it shows (RGBA).
Bytes MakeDitheredFewColourGif(std::vector<Bytes>& composed)
{
    const std::vector<Rgb> palette = {{20, 20, 60}, {70, 40, 120}, {150, 60, 140}, {230, 110, 90},
                                      {250, 200, 80}, {120, 200, 220}, {245, 245, 235}};
    const std::uint8_t transparent = static_cast<std::uint8_t>(palette.size());
    std::vector<Rgb> table = palette;
    table.resize(8, Rgb{0, 0, 0});
    auto nearest = [&](const double* want) {
        int best = 0;
        double bestDistance = 1e18;
        for (std::size_t i = 0; i < palette.size(); ++i) {
            const double dr = want[0] - palette[i][0], dg = want[1] - palette[i][1], db = want[2] - palette[i][2];
            const double distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) bestDistance = distance, best = int(i);
        }
        return best;
    };
    GifSpec gif{.ScreenWidth = Side, .ScreenHeight = Side, .Palette = table};
    std::vector<std::uint8_t> previous(Side * Side), current(Side * Side);
    std::vector<double> error(static_cast<std::size_t>(Side + 2) * 2 * 3);
    for (int t = 0; t < Frames; ++t) {
        std::fill(error.begin(), error.end(), 0.0);
        for (int y = 0; y < Side; ++y) {
            double* here = error.data() + static_cast<std::size_t>(y % 2) * (Side + 2) * 3;
            double* next = error.data() + static_cast<std::size_t>((y + 1) % 2) * (Side + 2) * 3;
            std::fill(next, next + (Side + 2) * 3, 0.0);
            for (int x = 0; x < Side; ++x) {
                double want[3] = {40 + 200.0 * x / Side, 30 + 180.0 * y / Side, 200 - 150.0 * (x + y) / (2 * Side)};
                for (int k = 0; k < 3; ++k) {
                    const double cx = 260 + 200 * std::cos(t * 0.05 + k * 2.1), cy = 260 + 200 * std::sin(t * 0.04 + k * 2.1);
                    if (std::hypot(x - cx, y - cy) < 36) want[0] = 250, want[1] = 200 - k * 60, want[2] = 80 + k * 70;
                }
                for (int c = 0; c < 3; ++c) want[c] = std::clamp(want[c] + here[(x + 1) * 3 + c], 0.0, 255.0);
                const int i = nearest(want);
                const double got[3] = {double(palette[i][0]), double(palette[i][1]), double(palette[i][2])};
                for (int c = 0; c < 3; ++c) {
                    const double e = want[c] - got[c];
                    here[(x + 2) * 3 + c] += e * 7 / 16;
                    next[x * 3 + c] += e * 3 / 16;
                    next[(x + 1) * 3 + c] += e * 5 / 16;
                    next[(x + 2) * 3 + c] += e / 16;
                }
                const bool hole = std::hypot(x - 260, y - 260) < 70;
                current[static_cast<std::size_t>(y) * Side + x] = hole ? transparent : std::uint8_t(i);
            }
        }
        Bytes rgba;
        rgba.reserve(Side * Side * 4);
        for (std::uint8_t c : current) {
            if (c == transparent) {
                rgba.insert(rgba.end(), {0, 0, 0, 0});
            } else {
                rgba.insert(rgba.end(), {palette[c][0], palette[c][1], palette[c][2], 255});
            }
        }
        composed.push_back(std::move(rgba));
        GifFrameSpec f = ChangedRectangle(previous, current, t == 0, transparent);
        f.Delay = 4;
        gif.Frames.push_back(f);
        std::swap(previous, current);
    }
    return BuildGif(gif);
}

// A semi-transparent scene as an APNG encoder writes it: a translucent
// gradient with translucent discs moving over it; frame 0 whole, then the
// rectangle that changed, blended as source, disposed as none. Fills
// `composed` with each frame as it shows (RGBA).
Bytes MakeTranslucentApng(std::vector<Bytes>& composed)
{
    auto pixel = [](int x, int y, int t) {
        std::array<double, 4> c = {60 + 150.0 * x / Side, 90 + 100.0 * y / Side, 180, 110 + 100.0 * y / Side};
        for (int k = 0; k < 4; ++k) {
            const double cx = 260 + 190 * std::cos(t * 0.06 + k * 1.6), cy = 260 + 170 * std::sin(t * 0.045 + k * 1.6);
            const double d = std::hypot(x - cx, y - cy);
            const double a = std::clamp((48 - d) / 8, 0.0, 1.0) * 0.6;  // soft, translucent edge
            const std::array<double, 3> disc = {240.0, 80.0 + 40 * k, 60.0};
            for (int i = 0; i < 3; ++i) c[i] = c[i] * (1 - a) + disc[i] * a;
            c[3] = c[3] * (1 - a) + 255 * a;
        }
        return std::array<std::uint8_t, 4>{std::uint8_t(std::lround(c[0])), std::uint8_t(std::lround(c[1])),
                                           std::uint8_t(std::lround(c[2])), std::uint8_t(std::lround(c[3]))};
    };
    ApngSpec apng{.Width = Side, .Height = Side};
    for (int t = 0; t < Frames; ++t) {
        Bytes rgba;
        rgba.reserve(Side * Side * 4);
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; ++x) {
                const auto c = pixel(x, y, t);
                rgba.insert(rgba.end(), c.begin(), c.end());
            }
        std::uint32_t left = 0, top = 0, right = Side - 1, bottom = Side - 1;
        if (t > 0) {
            const Bytes& before = composed.back();
            left = top = Side, right = bottom = 0;
            for (std::uint32_t y = 0; y < Side; ++y)
                for (std::uint32_t x = 0; x < Side; ++x)
                    if (std::memcmp(&rgba[(y * Side + x) * 4], &before[(y * Side + x) * 4], 4) != 0) {
                        left = std::min(left, x), right = std::max(right, x);
                        top = std::min(top, y), bottom = std::max(bottom, y);
                    }
            if (left > right) left = top = right = bottom = 0;
        }
        ApngFrameSpec f{.Width = right - left + 1, .Height = bottom - top + 1, .X = left, .Y = top,
                        .Dispose = 0, .Blend = 0, .DelayNumerator = 1, .DelayDenominator = 25};
        for (std::uint32_t y = top; y <= bottom; ++y) {
            const auto row = rgba.begin() + static_cast<std::ptrdiff_t>((y * Side + left) * 4);
            f.Pixels.insert(f.Pixels.end(), row, row + static_cast<std::ptrdiff_t>(f.Width * 4));
        }
        apng.Frames.push_back(std::move(f));
        composed.push_back(std::move(rgba));
    }
    return BuildApng(apng);
}

// A long lossy WebP: the smooth scene, whole frames, as a video converter
// writes one.
Bytes MakeLongLossyWebp()
{
    WebpSpec webp{.CanvasWidth = Side, .CanvasHeight = Side, .Background = 0xFFFFFFFF};
    for (int t = 0; t < LongFrames; ++t) {
        WebpFrameSpec f{.Width = Side, .Height = Side, .Lossy = true, .Duration = 40};
        f.Rgba = SceneRgba(t);
        webp.Frames.push_back(std::move(f));
    }
    return BuildAnimatedWebp(webp);
}

// `count` animations drawn from random families by `seed` (gen-0.gif, ...):
// GIFs, APNGs and WebPs as the generator writes them, and every fifth file
// from the fourth on the drawn frames as an AVIF, from the fifth on as a
// lossless JPEG XL. Prints a line a file: its name and what was drawn.
void MakeGenerated(const std::string& folder, std::uint64_t seed, int count)
{
    const GeneratedLimits limits{.MinWidth = 64, .MaxWidth = 1920, .MaxPixels = 10'000'000, .MaxFrames = 300};
    for (int k = 0; k < count; ++k) {
        const GeneratedAnimation a = GenerateAnimation(seed + static_cast<std::uint64_t>(k), limits);
        const auto frame = [&](int t) { return a.Frames[static_cast<std::size_t>(t)]; };
        const int frames = static_cast<int>(a.Frames.size());
        std::string name = "gen-" + std::to_string(k), family = a.Family;
        if (k % 5 == 3) {
            name += ".avif";
            family += ", as AVIF";
            WriteFile(folder + "/" + name, MakeAvif(frame, a.Width, a.Height, frames));
        } else if (k % 5 == 4) {
            name += ".jxl";
            family += ", as lossless JPEG XL";
            WriteFile(folder + "/" + name, MakeJxl(frame, true, a.Width, a.Height, frames));
        } else {
            name += a.Extension;
            WriteFile(folder + "/" + name, a.File);
        }
        std::printf("%s\t%s\n", name.c_str(), family.c_str());
    }
}

// `count` GIFs made from video, drawn by `seed` (video-0.gif, ...): up to
// 1920 wide, at most 200 frames and 60 million pixels each. Prints a line a
// file, as MakeGenerated does.
void MakeVideoGifs(const std::string& folder, std::uint64_t seed, int count)
{
    const GeneratedLimits limits{.MinWidth = 64, .MaxWidth = 1920, .MaxPixels = 60'000'000, .MaxFrames = 200};
    for (int k = 0; k < count; ++k) {
        const GeneratedAnimation a = GenerateVideoGif(seed + static_cast<std::uint64_t>(k), limits);
        const std::string name = "video-" + std::to_string(k) + ".gif";
        WriteFile(folder + "/" + name, a.File);
        std::printf("%s\t%s\n", name.c_str(), a.Family.c_str());
    }
}

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[2]) == "--generated") {
        MakeGenerated(argv[1], std::strtoull(argv[3], nullptr, 10), std::atoi(argv[4]));
        return 0;
    }
    if (argc == 5 && std::string(argv[2]) == "--video") {
        MakeVideoGifs(argv[1], std::strtoull(argv[3], nullptr, 10), std::atoi(argv[4]));
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER [--generated SEED COUNT | --video SEED COUNT]\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    std::mt19937 rng(20261207);
    WriteFile(folder + "/scene.gif", MakeGif(rng));
    WriteFile(folder + "/scene.png", MakeApng(rng));
    WriteFile(folder + "/scene.webp", MakeWebp(rng, false));
    WriteFile(folder + "/noisy.webp", MakeWebp(rng, true));
    WriteFile(folder + "/flat.gif", MakeOptimizedGif());
    WriteFile(folder + "/photo.gif", MakeDitheredGif());
    WriteFile(folder + "/sprite.png", MakeEncoderApng());
    WriteFile(folder + "/scene.avif", MakeAvif(SceneRgba));
    WriteFile(folder + "/scene.jxl", MakeJxl(SceneRgba, false));
    std::vector<Bytes> dithered, translucent;
    WriteFile(folder + "/dither8.gif", MakeDitheredFewColourGif(dithered));
    WriteFile(folder + "/translucent.png", MakeTranslucentApng(translucent));
    WriteFile(folder + "/long.webp", MakeLongLossyWebp());
    WriteFile(folder + "/translucent.avif", MakeAvif([&](int t) { return translucent[static_cast<std::size_t>(t)]; }));
    WriteFile(folder + "/dither8.jxl", MakeJxl([&](int t) { return dithered[static_cast<std::size_t>(t)]; }, true));
    return 0;
}

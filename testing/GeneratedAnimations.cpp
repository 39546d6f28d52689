#include "testing/GeneratedAnimations.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

#include "testing/FixtureBuilders.h"

namespace framelot::test {
namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr int MinFrames = 4;

enum class Container { Gif, Apng, WebpLossless, WebpLossy };
enum class Backdrop { Gradient, Stripes, Flat, Smooth };
enum class Translucency { None, Holes, Partial };

struct Shape {
    double Phase, Speed, Radius;  // radius as a share of the smaller side
    std::array<int, 3> Colour;
    bool Square;
};

struct Family {
    Container Kind;
    int Levels[3];        // colour levels a channel; 0: full colour
    bool Dither;          // ordered dithering when levels are few
    int Noise;            // amplitude of per-pixel noise
    Backdrop Back;
    double Pan;           // pixels a frame the backdrop moves
    std::vector<Shape> Shapes;
    Translucency Alpha;
    double HoldChance;    // a frame that repeats the one before
    bool Returns;         // the motion goes back (ping-pong): frames seen before return
    bool Optimised;       // GIF and APNG: the changed rectangle only, as an encoder writes it
    int Width, Height, Frames;
};

// A cheap, repeatable hash of a pixel and frame, for noise.
std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t t)
{
    std::uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ t * 0xcb1ab31fu;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    return h;
}

constexpr int Bayer4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

std::uint8_t Clamp(double v)
{
    return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0l, 255l));
}

// The level (0 to levels - 1) a channel value is drawn at, dithered or not.
int LevelOf(double v, int levels, bool dither, int x, int y)
{
    const double step = 255.0 / (levels - 1);
    const double offset = dither ? (Bayer4[y & 3][x & 3] + 0.5) / 16.0 - 0.5 : 0.0;
    return std::clamp(static_cast<int>(std::lround(v / step + offset)), 0, levels - 1);
}

// Frame `t`'s pixel, before the colour levels: RGBA in 0-255.
std::array<double, 4> Draw(const Family& f, int x, int y, double t)
{
    const double w = f.Width, h = f.Height, px = x + f.Pan * t;
    std::array<double, 4> c{};
    switch (f.Back) {
    case Backdrop::Gradient: c = {px * 255 / w, y * 255 / h, 128, 255}; break;
    case Backdrop::Stripes: c = {(static_cast<int>(px) / 8 % 2) * 200.0 + 30, 90, (y / 8 % 2) * 150.0 + 50, 255}; break;
    case Backdrop::Flat: c = {40, 70, 110, 255}; break;
    case Backdrop::Smooth:
        c = {128 + 100 * std::sin(px / w * 5 + y / h * 3), 128 + 90 * std::sin(y / h * 7 - px / w * 2),
             128 + 80 * std::cos((px + y) / (w + h) * 9), 255};
        break;
    }
    const double side = std::min(w, h);
    for (const Shape& s : f.Shapes) {
        const double cx = w * (0.5 + 0.35 * std::cos(t * s.Speed + s.Phase));
        const double cy = h * (0.5 + 0.35 * std::sin(t * s.Speed * 0.7 + s.Phase));
        const double r = s.Radius * side;
        const bool inside = s.Square ? std::abs(x - cx) < r && std::abs(y - cy) < r : std::hypot(x - cx, y - cy) < r;
        if (inside) c = {double(s.Colour[0]), double(s.Colour[1]), double(s.Colour[2]), 255};
    }
    if (f.Noise > 0) {
        const std::uint32_t n = Hash(x, y, static_cast<std::uint32_t>(t * 16));
        for (int k = 0; k < 3; ++k) c[k] += static_cast<double>((n >> (8 * k)) & 0xFF) / 255.0 * 2 * f.Noise - f.Noise;
    }
    if (f.Alpha == Translucency::Holes && (x / 16 + y / 16 + static_cast<int>(t)) % 5 == 0) c[3] = 0;
    if (f.Alpha == Translucency::Partial) c[3] = 150 + 100 * std::sin(x / w * 4 + t * 0.2);
    return c;
}

Family Choose(std::mt19937_64& rng, const GeneratedLimits& limits)
{
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<std::uint64_t>(n)); };
    auto chance = [&](double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; };
    Family f{};
    f.Kind = static_cast<Container>(pick(4));
    const bool gif = f.Kind == Container::Gif;
    // Colours: few (8 to 216 levels, as GIFs and quantized PNGs have; eight,
    // as image editors export, is drawn twice as often) or full.
    static constexpr int FewLevels[][3] = {{2, 2, 2}, {2, 2, 2}, {4, 2, 2}, {4, 4, 2}, {4, 4, 4}, {6, 6, 6}, {8, 8, 3}};
    if (gif || chance(0.3)) {
        const int* levels = FewLevels[pick(static_cast<int>(std::size(FewLevels)))];
        std::copy(levels, levels + 3, f.Levels);
        f.Dither = chance(0.5);
    }
    f.Noise = std::array<int, 3>{0, 4, 16}[pick(3)];
    f.Back = static_cast<Backdrop>(pick(4));
    f.Pan = chance(0.3) ? 1 + pick(4) : 0;
    for (int i = 0, n = 1 + pick(5); i < n; ++i) {
        f.Shapes.push_back({std::uniform_real_distribution<double>(0, 2 * Pi)(rng), 0.05 + 0.1 * pick(4),
                            0.05 + 0.05 * pick(4), {pick(256), pick(256), pick(256)}, chance(0.5)});
    }
    f.Alpha = f.Kind == Container::WebpLossy ? Translucency::None : static_cast<Translucency>(pick(gif ? 2 : 3));
    f.HoldChance = chance(0.4) ? 0.25 : 0;
    f.Returns = chance(0.3);
    f.Optimised = (gif || f.Kind == Container::Apng) && f.Alpha == Translucency::None && chance(0.6);
    // Sizes spread evenly in scale, from MinWidth to MaxWidth.
    const double scale = std::uniform_real_distribution<double>(0, 1)(rng);
    f.Width = static_cast<int>(limits.MinWidth * std::pow(double(limits.MaxWidth) / limits.MinWidth, scale));
    f.Width &= ~1;  // WebP frames sit at even offsets; even sides keep every case whole
    f.Height = std::max(2, static_cast<int>(f.Width * std::uniform_real_distribution<double>(0.5, 1.2)(rng)) & ~1);
    const std::uint64_t room = limits.MaxPixels / (static_cast<std::uint64_t>(f.Width) * f.Height);
    f.Frames = static_cast<int>(std::clamp<std::uint64_t>(room, MinFrames, limits.MaxFrames));
    f.Frames = MinFrames + pick(f.Frames - MinFrames + 1);
    return f;
}

// A GIF made from video: the whole frame moves every frame (the camera pans,
// grain changes), 64 to 216 colours, dithered or not, nothing transparent,
// every frame whole, as a video converter writes it.
Family ChooseVideo(std::mt19937_64& rng, const GeneratedLimits& limits)
{
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<std::uint64_t>(n)); };
    Family f{};
    f.Kind = Container::Gif;
    static constexpr int VideoLevels[][3] = {{4, 4, 4}, {5, 5, 5}, {8, 8, 3}, {6, 6, 6}};
    const int* levels = VideoLevels[pick(static_cast<int>(std::size(VideoLevels)))];
    std::copy(levels, levels + 3, f.Levels);
    f.Dither = pick(2) == 0;
    f.Noise = std::array<int, 3>{0, 4, 16}[pick(3)];
    f.Back = pick(2) == 0 ? Backdrop::Smooth : Backdrop::Gradient;
    f.Pan = 1 + pick(4);
    for (int i = 0, n = 1 + pick(4); i < n; ++i) {
        f.Shapes.push_back({std::uniform_real_distribution<double>(0, 2 * Pi)(rng), 0.05 + 0.1 * pick(4),
                            0.05 + 0.05 * pick(4), {pick(256), pick(256), pick(256)}, pick(2) == 0});
    }
    f.Alpha = Translucency::None;
    // Common video sizes up to the limits' width, the height at 16:9.
    static constexpr int Widths[] = {320, 480, 640, 854, 1280, 1920};
    int w = Widths[pick(static_cast<int>(std::size(Widths)))];
    while (w > limits.MaxWidth && w > Widths[0]) w = w * 2 / 3;
    f.Width = std::max(limits.MinWidth, w) & ~1;
    f.Height = std::max(2, f.Width * 9 / 16) & ~1;
    const std::uint64_t room = limits.MaxPixels / (static_cast<std::uint64_t>(f.Width) * f.Height);
    f.Frames = static_cast<int>(std::clamp<std::uint64_t>(room, MinFrames, limits.MaxFrames));
    return f;
}

std::string Describe(const Family& f)
{
    static const char* const Kinds[] = {"gif", "apng", "webp", "lossy webp"};
    static const char* const Backs[] = {"gradient", "stripes", "flat", "smooth"};
    static const char* const Alphas[] = {"", " holes", " translucent"};
    std::string d = Kinds[static_cast<int>(f.Kind)];
    if (f.Levels[0] > 0) {
        d += " " + std::to_string(f.Levels[0] * f.Levels[1] * f.Levels[2]) + " colours" + (f.Dither ? " dithered" : "");
    }
    d += std::string(" ") + Backs[static_cast<int>(f.Back)] + Alphas[static_cast<int>(f.Alpha)];
    if (f.Noise > 0) d += " noise " + std::to_string(f.Noise);
    if (f.Pan > 0) d += " pan";
    if (f.HoldChance > 0) d += " held";
    if (f.Returns) d += " returning";
    if (f.Optimised) d += " optimised";
    return d + " " + std::to_string(f.Width) + "x" + std::to_string(f.Height) + " x" + std::to_string(f.Frames);
}

// The changed rectangle of `current` after `previous` (RGBA frames of one
// size); a 1 x 1 one where nothing changed.
Rect ChangedRect(const Bytes& previous, const Bytes& current, int width, int height)
{
    int left = width, top = height, right = -1, bottom = -1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 4;
            if (std::equal(&previous[i], &previous[i] + 4, &current[i])) continue;
            left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
        }
    }
    if (right < 0) return {0, 0, 1, 1};
    return {left, top, right - left + 1, bottom - top + 1};
}

}  // namespace

namespace {

GeneratedAnimation Render(const Family& f, std::mt19937_64& rng)
{
    GeneratedAnimation a;
    a.Family = Describe(f);
    a.Width = f.Width;
    a.Height = f.Height;
    const bool few = f.Levels[0] > 0;
    const bool gif = f.Kind == Container::Gif;
    // GIF: index 0 is transparent, then the levels' colours in order.
    std::vector<Rgb> palette;
    if (gif) {
        palette.push_back({0, 0, 0});
        for (int r = 0; r < f.Levels[0]; ++r)
            for (int g = 0; g < f.Levels[1]; ++g)
                for (int b = 0; b < f.Levels[2]; ++b) {
                    palette.push_back({Clamp(r * 255.0 / (f.Levels[0] - 1)), Clamp(g * 255.0 / (f.Levels[1] - 1)),
                                       Clamp(b * 255.0 / (f.Levels[2] - 1))});
                }
        while (palette.size() & (palette.size() - 1)) palette.push_back({0, 0, 0});  // a power of two
    }
    GifSpec gifSpec{.ScreenWidth = f.Width, .ScreenHeight = f.Height, .Palette = palette};
    ApngSpec apng{.Width = static_cast<std::uint32_t>(f.Width), .Height = static_cast<std::uint32_t>(f.Height)};
    WebpSpec webp{.CanvasWidth = f.Width, .CanvasHeight = f.Height};
    const std::size_t pixels = static_cast<std::size_t>(f.Width) * f.Height;
    std::vector<std::uint8_t> indices(pixels);
    double t = 0;
    for (int k = 0; k < f.Frames; ++k) {
        const bool held = k > 0 && std::uniform_real_distribution<double>(0, 1)(rng) < f.HoldChance;
        const int delay = 20 + 10 * static_cast<int>(rng() % 9);
        if (!held) t = f.Returns ? std::min(k, f.Frames - k) : k;  // ping-pong: frames come back the way they went
        Bytes rgba(pixels * 4);
        for (int y = 0; y < f.Height; ++y) {
            for (int x = 0; x < f.Width; ++x) {
                const std::array<double, 4> c = Draw(f, x, y, t);
                std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * f.Width + x) * 4];
                int index = 0;
                for (int ch = 0; ch < 3; ++ch) {
                    if (!few) {
                        p[ch] = Clamp(c[ch]);
                        continue;
                    }
                    const int level = LevelOf(c[ch], f.Levels[ch], f.Dither, x, y);
                    p[ch] = palette.empty() ? Clamp(level * 255.0 / (f.Levels[ch] - 1)) : 0;
                    index = index * f.Levels[ch] + level;
                }
                p[3] = Clamp(c[3]);
                if (gif) {
                    const bool clear = p[3] == 0;
                    indices[static_cast<std::size_t>(y) * f.Width + x] = static_cast<std::uint8_t>(clear ? 0 : 1 + index);
                    const Rgb& colour = palette[clear ? 0 : 1 + index];
                    p[0] = clear ? 0 : colour[0], p[1] = clear ? 0 : colour[1], p[2] = clear ? 0 : colour[2];
                    p[3] = clear ? 0 : 255;
                } else if (p[3] == 0) {
                    p[0] = p[1] = p[2] = 0;  // what a decoder of a transparent pixel gives
                }
            }
        }
        const Rect changed = f.Optimised && k > 0 ? ChangedRect(a.Frames.back(), rgba, f.Width, f.Height)
                                                  : Rect{0, 0, f.Width, f.Height};
        if (gif) {
            GifFrameSpec frame = SolidGifFrame(changed.Left, changed.Top, changed.Width, changed.Height, 0);
            frame.Delay = delay / 10;
            // Transparent pixels clear to the background each frame; an
            // optimised frame leaves what it does not cover.
            frame.Disposal = f.Optimised ? 1 : 2;
            frame.Transparent = 0;
            for (int y = 0; y < changed.Height; ++y)
                for (int x = 0; x < changed.Width; ++x) {
                    frame.Indices[static_cast<std::size_t>(y) * changed.Width + x] =
                        indices[static_cast<std::size_t>(y + changed.Top) * f.Width + x + changed.Left];
                }
            gifSpec.Frames.push_back(std::move(frame));
        } else if (f.Kind == Container::Apng) {
            ApngFrameSpec frame{.Width = std::uint32_t(changed.Width), .Height = std::uint32_t(changed.Height),
                                .X = std::uint32_t(changed.Left), .Y = std::uint32_t(changed.Top),
                                .DelayNumerator = std::uint16_t(delay), .DelayDenominator = 1000};
            for (int y = 0; y < changed.Height; ++y) {
                const std::uint8_t* row = &rgba[(static_cast<std::size_t>(y + changed.Top) * f.Width + changed.Left) * 4];
                frame.Pixels.insert(frame.Pixels.end(), row, row + changed.Width * 4);
            }
            apng.Frames.push_back(std::move(frame));
        } else {
            webp.Frames.push_back({.Width = f.Width, .Height = f.Height, .Rgba = rgba, .NoBlend = true,
                                   .Lossy = f.Kind == Container::WebpLossy, .Duration = delay});
        }
        a.Frames.push_back(std::move(rgba));
    }
    if (gif) {
        a.Extension = ".gif";
        a.File = BuildGif(gifSpec);
    } else if (f.Kind == Container::Apng) {
        a.Extension = ".png";
        a.File = BuildApng(apng);
    } else {
        a.Extension = ".webp";
        a.Lossy = f.Kind == Container::WebpLossy;
        a.File = BuildAnimatedWebp(webp);
    }
    return a;
}

}  // namespace

GeneratedAnimation GenerateAnimation(std::uint64_t seed, const GeneratedLimits& limits)
{
    std::mt19937_64 rng(seed);
    const Family f = Choose(rng, limits);
    return Render(f, rng);
}

GeneratedAnimation GenerateVideoGif(std::uint64_t seed, const GeneratedLimits& limits)
{
    std::mt19937_64 rng(seed);
    Family f = ChooseVideo(rng, limits);
    GeneratedAnimation a = Render(f, rng);
    a.Family = "video " + a.Family;
    return a;
}

}  // namespace framelot::test

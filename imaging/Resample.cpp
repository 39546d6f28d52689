#include "imaging/Resample.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace framelot {
namespace {

constexpr int Channels = 4;
constexpr int Alpha = 3;
constexpr double Pi = 3.14159265358979323846;
constexpr double LanczosLobes = 3;
constexpr double BoxSupport = 0.5;
constexpr float MaxByte = 255.0f;

double Sinc(double x)
{
    if (x == 0) return 1;
    x *= Pi;
    return std::sin(x) / x;
}

double Kernel(ResampleFilter filter, double x)
{
    if (filter == ResampleFilter::Box) return x >= -BoxSupport && x < BoxSupport ? 1 : 0;
    return std::abs(x) < LanczosLobes ? Sinc(x) * Sinc(x / LanczosLobes) : 0;
}

double Support(ResampleFilter filter)
{
    return filter == ResampleFilter::Box ? BoxSupport : LanczosLobes;
}

// For each output position along one side: the first input position it
// reads and its weights, normalised to a sum of 1.
struct Taps {
    std::vector<int> First;
    std::vector<int> Count;
    std::vector<float> Weights;  // Count[i] weights from i * Stride
    int Stride = 0;
};

Taps MakeTaps(int in, int out, ResampleFilter filter)
{
    Taps taps;
    const double scale = static_cast<double>(in) / out;
    const double stretch = std::max(1.0, scale);  // widen the kernel when shrinking
    const double support = Support(filter) * stretch;
    taps.Stride = static_cast<int>(std::ceil(support)) * 2 + 1;
    taps.First.resize(static_cast<std::size_t>(out));
    taps.Count.resize(static_cast<std::size_t>(out));
    taps.Weights.assign(static_cast<std::size_t>(out) * static_cast<std::size_t>(taps.Stride), 0.0f);
    for (int i = 0; i < out; ++i) {
        const double center = (i + 0.5) * scale;
        int first = std::max(0, static_cast<int>(std::floor(center - support)));
        int last = std::min(in, static_cast<int>(std::ceil(center + support)));
        last = std::min(last, first + taps.Stride);
        double sum = 0;
        std::vector<double> w(static_cast<std::size_t>(std::max(0, last - first)));
        for (int k = first; k < last; ++k) {
            w[static_cast<std::size_t>(k - first)] = Kernel(filter, (k + 0.5 - center) / stretch);
            sum += w[static_cast<std::size_t>(k - first)];
        }
        if (sum == 0) {  // a box narrower than the gap between samples: take the nearest
            first = std::min(in - 1, static_cast<int>(center));
            last = first + 1;
            w.assign(1, 1.0);
            sum = 1;
        }
        taps.First[static_cast<std::size_t>(i)] = first;
        taps.Count[static_cast<std::size_t>(i)] = last - first;
        for (int k = 0; k < last - first; ++k) {
            taps.Weights[static_cast<std::size_t>(i) * static_cast<std::size_t>(taps.Stride) + static_cast<std::size_t>(k)] =
                static_cast<float>(w[static_cast<std::size_t>(k)] / sum);
        }
    }
    return taps;
}

void Nearest(const Bitmap& src, int width, int height, Bitmap& dst)
{
    for (int y = 0; y < height; ++y) {
        const int sy = std::min(src.Height - 1, static_cast<int>((y + 0.5) * src.Height / height));
        for (int x = 0; x < width; ++x) {
            const int sx = std::min(src.Width - 1, static_cast<int>((x + 0.5) * src.Width / width));
            const std::size_t from = (static_cast<std::size_t>(sy) * static_cast<std::size_t>(src.Width) + static_cast<std::size_t>(sx)) * Channels;
            const std::size_t to = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * Channels;
            std::copy_n(src.Pixels.begin() + static_cast<std::ptrdiff_t>(from), Channels,
                        dst.Pixels.begin() + static_cast<std::ptrdiff_t>(to));
        }
    }
}

std::uint8_t ToByte(float v)
{
    return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

}  // namespace

std::optional<ResampleFilter> ResampleFilterNamed(const std::string& name)
{
    if (name == "nearest") return ResampleFilter::Nearest;
    if (name == "box") return ResampleFilter::Box;
    if (name == "lanczos") return ResampleFilter::Lanczos;
    return std::nullopt;
}

void Resample(const Bitmap& src, int width, int height, ResampleFilter filter, Bitmap& dst)
{
    dst.Width = width;
    dst.Height = height;
    dst.Pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * Channels, 0);
    if (src.Width <= 0 || src.Height <= 0 || width <= 0 || height <= 0) return;
    if (filter == ResampleFilter::Nearest) {
        Nearest(src, width, height, dst);
        return;
    }
    // Across: each row premultiplied, filtered into floats.
    const Taps across = MakeTaps(src.Width, width, filter);
    std::vector<float> rows(static_cast<std::size_t>(width) * static_cast<std::size_t>(src.Height) * Channels);
    for (int y = 0; y < src.Height; ++y) {
        const std::uint8_t* row = src.Pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(src.Width) * Channels;
        float* out = rows.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * Channels;
        for (int x = 0; x < width; ++x) {
            float sum[Channels] = {};
            const float* w = across.Weights.data() + static_cast<std::size_t>(x) * static_cast<std::size_t>(across.Stride);
            for (int k = 0; k < across.Count[static_cast<std::size_t>(x)]; ++k) {
                const std::uint8_t* p = row + static_cast<std::size_t>(across.First[static_cast<std::size_t>(x)] + k) * Channels;
                const float a = p[Alpha] * w[k];
                sum[0] += p[0] * a;
                sum[1] += p[1] * a;
                sum[2] += p[2] * a;
                sum[Alpha] += a;
            }
            std::copy_n(sum, Channels, out + static_cast<std::size_t>(x) * Channels);
        }
    }
    // Down: the columns filtered, then unpremultiplied.
    const Taps down = MakeTaps(src.Height, height, filter);
    for (int y = 0; y < height; ++y) {
        const float* w = down.Weights.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(down.Stride);
        std::uint8_t* out = dst.Pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * Channels;
        for (int x = 0; x < width; ++x) {
            float sum[Channels] = {};
            for (int k = 0; k < down.Count[static_cast<std::size_t>(y)]; ++k) {
                const float* p = rows.data() +
                                 (static_cast<std::size_t>(down.First[static_cast<std::size_t>(y)] + k) * static_cast<std::size_t>(width) +
                                  static_cast<std::size_t>(x)) * Channels;
                for (int c = 0; c < Channels; ++c) sum[c] += p[c] * w[k];
            }
            const std::uint8_t alpha = ToByte(sum[Alpha]);
            std::uint8_t* q = out + static_cast<std::size_t>(x) * Channels;
            q[Alpha] = alpha;
            if (alpha == 0) continue;
            for (int c = 0; c < Alpha; ++c) q[c] = ToByte(sum[c] / std::max(sum[Alpha], 1.0f / MaxByte));
        }
    }
}

}  // namespace framelot

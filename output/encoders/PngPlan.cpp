// How a frame is filtered and how hard it is compressed depends on what it
// holds, judged from every sixteenth row by two measures: the mean Paeth
// residual a byte, and whether the frame has at most a handful or at most 256
// distinct pixels.
//  - flat graphics (a handful of colours, almost every residual 0): no filter,
//    the dense level. Long runs of equal pixels are what deflate matches best,
//    and such frames cost it little at any level.
//  - other smooth pictures (the mean residual is small): Paeth on every row.
//    Few colours (at most 256, as every GIF frame has) take FewColoursLevel,
//    which costs them little more than the default; many colours take the
//    default level, or the quick one when the residuals show fine texture
//    (decoded lossy video, such as AV1 frames), where the default costs three
//    quarters as much again for 4% fewer bytes.
//  - noisy pictures with few colours (dithered GIFs): no filter, the default
//    level. Prediction only spreads the dither.
//  - noisy pictures with many colours (lossy photographs): the filter each row
//    does best by the sum of its residuals, NoisyLevel.
#include "output/encoders/PngPlan.h"

#include <array>
#include <cstring>
#include <vector>

#include "output/encoders/PngFilter.h"

namespace framelot {
namespace {

constexpr int SampleRowStep = 16;
constexpr std::size_t FewColours = 256;
constexpr std::size_t FlatColours = 16;
// Mean Paeth residual a byte.
constexpr double NoisyResidual = 3.0;     // smooth frames measure below 0.5, noisy ones above 10
constexpr double FlatResidual = 0.2;      // flat graphics measure below 0.1
constexpr double TexturedResidual = 0.5;  // smooth gradients measure about 0.3, AV1 frames about 0.8

// Counts distinct pixel values up to a limit, in a small open-addressed table.
struct ColourCounter {
    static constexpr std::size_t Slots = 4 * FewColours;  // a power of two, at most a quarter full
    std::array<std::uint32_t, Slots> Table{};             // 0 marks a free slot; pixel 0 is counted apart
    bool SawZero = false;
    std::size_t Count = 0;

    void Add(std::uint32_t pixel)
    {
        if (pixel == 0) {
            Count += SawZero ? 0 : 1;
            SawZero = true;
            return;
        }
        constexpr std::uint32_t Spread = 2654435761u;  // Knuth's multiplicative hash
        std::size_t slot = ((pixel * Spread) >> 16) & (Slots - 1);
        while (Table[slot] != 0 && Table[slot] != pixel) slot = (slot + 1) & (Slots - 1);
        if (Table[slot] == 0) {
            Table[slot] = pixel;
            ++Count;
        }
    }
};

}  // namespace

PngPlan PlanPngFrame(const Bitmap& bitmap)
{
    const std::size_t stride = static_cast<std::size_t>(bitmap.Width) * PngPixelBytes;
    if (bitmap.Width <= 0 || bitmap.Height <= 0 ||
        bitmap.Pixels.size() != stride * static_cast<std::size_t>(bitmap.Height)) {
        return {};
    }
    std::vector<std::uint8_t> filtered(stride);
    std::uint64_t residual = 0, sampled = 0;
    ColourCounter colours;
    for (int y = 1; y < bitmap.Height; y += SampleRowStep) {
        const std::uint8_t* source = bitmap.Pixels.data() + static_cast<std::size_t>(y) * stride;
        FilterRow(PngFilter::Paeth, source, source - stride, stride, filtered.data());
        residual += FilteredCost(filtered.data(), stride);
        sampled += stride;
        for (std::size_t x = 0; x < stride && colours.Count <= FewColours; x += PngPixelBytes) {
            std::uint32_t pixel;
            std::memcpy(&pixel, source + x, sizeof pixel);
            colours.Add(pixel);
        }
    }
    const auto below = [&](double mean) { return static_cast<double>(residual) < mean * static_cast<double>(sampled); };
    const bool few = colours.Count <= FewColours;
    if (below(FlatResidual) && colours.Count <= FlatColours) return {PngRowFilters::None, DenseLevel};
    if (below(NoisyResidual)) {
        return {PngRowFilters::Paeth, few ? FewColoursLevel : below(TexturedResidual) ? DefaultLevel : QuickLevel};
    }
    if (few) return {PngRowFilters::None, DefaultLevel};
    return {PngRowFilters::Adaptive, NoisyLevel};
}

void FilterPngRows(const Bitmap& bitmap, int top, int bottom, PngRowFilters filters, std::uint8_t* scratch,
                   const std::uint8_t* zero, std::uint8_t* out)
{
    const std::size_t stride = static_cast<std::size_t>(bitmap.Width) * PngPixelBytes;
    const PngFilter single = filters == PngRowFilters::Sub    ? PngFilter::Sub
                             : filters == PngRowFilters::Up    ? PngFilter::Up
                             : filters == PngRowFilters::Paeth ? PngFilter::Paeth
                                                               : PngFilter::None;
    // The bitmap's bytes are already in the file's order: rows are filtered
    // straight from it.
    for (int y = top; y < bottom; ++y, out += stride + 1) {
        const std::uint8_t* row = bitmap.Pixels.data() + static_cast<std::size_t>(y) * stride;
        const std::uint8_t* prior = y == 0 ? zero : row - stride;
        if (filters == PngRowFilters::Adaptive) {
            FilterRowAdaptively(row, prior, stride, scratch, out);
        } else if (single == PngFilter::None) {
            out[0] = static_cast<std::uint8_t>(PngFilter::None);
            std::memcpy(out + 1, row, stride);
        } else {
            out[0] = static_cast<std::uint8_t>(single);
            FilterRow(single, row, prior, stride, out + 1);
        }
    }
}

}  // namespace framelot

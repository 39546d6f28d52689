// The loops are written without branches on the data, so the compiler turns
// them into vector code (this file is built at -O3).
#include "output/encoders/PngFilter.h"

#include <cstdlib>
#include <cstring>

namespace framelot {
namespace {

void FilterSub(const std::uint8_t* row, std::size_t length, std::uint8_t* out)
{
    const std::size_t head = length < PngPixelBytes ? length : PngPixelBytes;
    std::memcpy(out, row, head);
    for (std::size_t i = PngPixelBytes; i < length; ++i) out[i] = static_cast<std::uint8_t>(row[i] - row[i - PngPixelBytes]);
}

void FilterUp(const std::uint8_t* row, const std::uint8_t* prior, std::size_t length, std::uint8_t* out)
{
    for (std::size_t i = 0; i < length; ++i) out[i] = static_cast<std::uint8_t>(row[i] - prior[i]);
}

void FilterAverage(const std::uint8_t* row, const std::uint8_t* prior, std::size_t length, std::uint8_t* out)
{
    const std::size_t head = length < PngPixelBytes ? length : PngPixelBytes;
    for (std::size_t i = 0; i < head; ++i) out[i] = static_cast<std::uint8_t>(row[i] - (prior[i] >> 1));
    for (std::size_t i = PngPixelBytes; i < length; ++i) {
        out[i] = static_cast<std::uint8_t>(row[i] - ((row[i - PngPixelBytes] + prior[i]) >> 1));
    }
}

// The Paeth predictor without branches, in 16-bit lanes: a (left), b (above)
// or c (upper left), whichever is nearest to p = a + b - c, ties going to a,
// then b. |p - a| = |b - c|, |p - b| = |a - c|, |p - c| = |(b - c) + (a - c)|.
// Built twice, for AVX2 and for the baseline, the processor picking at load
// time, where the loader can pick (ELF's ifunc; not on Windows).
#if defined(__ELF__)
#define FRAMELOT_AVX2_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define FRAMELOT_AVX2_CLONES
#endif
FRAMELOT_AVX2_CLONES void FilterPaeth(const std::uint8_t* row, const std::uint8_t* prior,
                                                                   std::size_t length, std::uint8_t* out)
{
    const std::size_t head = length < PngPixelBytes ? length : PngPixelBytes;
    // With no pixel to the left, a and c are 0 and Paeth predicts the byte above.
    for (std::size_t i = 0; i < head; ++i) out[i] = static_cast<std::uint8_t>(row[i] - prior[i]);
    for (std::size_t i = PngPixelBytes; i < length; ++i) {
        const auto a = static_cast<std::int16_t>(row[i - PngPixelBytes]);
        const auto b = static_cast<std::int16_t>(prior[i]);
        const auto c = static_cast<std::int16_t>(prior[i - PngPixelBytes]);
        const auto toA = static_cast<std::int16_t>(b - c);
        const auto toB = static_cast<std::int16_t>(a - c);
        const auto toC = static_cast<std::int16_t>(toA + toB);
        const auto pa = static_cast<std::int16_t>(toA < 0 ? -toA : toA);
        const auto pb = static_cast<std::int16_t>(toB < 0 ? -toB : toB);
        const auto pc = static_cast<std::int16_t>(toC < 0 ? -toC : toC);
        const auto nearerB = pb < pa ? b : a;
        const auto nearest = pc < pa && pc < pb ? c : nearerB;
        out[i] = static_cast<std::uint8_t>(row[i] - nearest);
    }
}

}  // namespace

std::uint64_t FilteredCost(const std::uint8_t* bytes, std::size_t length)
{
    std::uint64_t sum = 0;  // rows of over 2^25 bytes would wrap a 32-bit sum
    for (std::size_t i = 0; i < length; ++i) {
        const auto v = static_cast<std::uint32_t>(bytes[i]);
        sum += v < 128 ? v : 256 - v;
    }
    return sum;
}

void FilterRow(PngFilter filter, const std::uint8_t* row, const std::uint8_t* prior, std::size_t length,
               std::uint8_t* out)
{
    switch (filter) {
    case PngFilter::None: std::memcpy(out, row, length); break;
    case PngFilter::Sub: FilterSub(row, length, out); break;
    case PngFilter::Up: FilterUp(row, prior, length, out); break;
    case PngFilter::Average: FilterAverage(row, prior, length, out); break;
    case PngFilter::Paeth: FilterPaeth(row, prior, length, out); break;
    }
}

PngFilter FilterRowAdaptively(const std::uint8_t* row, const std::uint8_t* prior, std::size_t length,
                              std::uint8_t* scratch, std::uint8_t* out)
{
    PngFilter best = PngFilter::None;
    std::uint64_t bestCost = FilteredCost(row, length);
    for (int f = 1; f < PngFilterCount; ++f) {
        const auto filter = static_cast<PngFilter>(f);
        std::uint8_t* filtered = scratch + static_cast<std::size_t>(f) * length;
        FilterRow(filter, row, prior, length, filtered);
        const std::uint64_t cost = FilteredCost(filtered, length);
        if (cost < bestCost) {
            bestCost = cost;
            best = filter;
        }
    }
    out[0] = static_cast<std::uint8_t>(best);
    const std::uint8_t* chosen = best == PngFilter::None ? row : scratch + static_cast<std::size_t>(best) * length;
    std::memcpy(out + 1, chosen, length);
    return best;
}

}  // namespace framelot

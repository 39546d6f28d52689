// The five PNG row filters over 4-byte (RGBA) pixels, and the choice of one
// filter a row.
#pragma once

#include <cstddef>
#include <cstdint>

namespace framelot {

enum class PngFilter : std::uint8_t { None = 0, Sub = 1, Up = 2, Average = 3, Paeth = 4 };

inline constexpr int PngFilterCount = 5;
inline constexpr std::size_t PngPixelBytes = 4;

// Writes `length` filtered bytes of `row` to `out` by `filter`. `prior` is the
// unfiltered row above (all zero for the first row). Byte arithmetic wraps
// modulo 256, as the format defines it.
void FilterRow(PngFilter filter, const std::uint8_t* row, const std::uint8_t* prior, std::size_t length,
               std::uint8_t* out);

// Filters `row` by the filter whose output is likely to compress best, writing
// the filter type byte and then the filtered bytes to `out` (length + 1 bytes).
// `scratch` holds PngFilterCount * length bytes. The choice: the smallest sum
// of the filtered bytes taken as signed distances from 0, which rewards rows
// that come out near zero.
PngFilter FilterRowAdaptively(const std::uint8_t* row, const std::uint8_t* prior, std::size_t length,
                              std::uint8_t* scratch, std::uint8_t* out);

// The sum of the bytes taken as signed distances from 0: small for rows that
// filtered out near zero.
std::uint64_t FilteredCost(const std::uint8_t* bytes, std::size_t length);

}  // namespace framelot

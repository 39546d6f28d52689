// How the PNG writer filters a frame's rows and how hard it compresses them,
// chosen from the frame itself.
#pragma once

#include "imaging/Bitmap.h"

namespace framelot {

// The row filters of a frame: none, one filter on every row (Sub, Up or
// Paeth), or each row's own best by the sum of its residuals.
enum class PngRowFilters { None, Sub, Up, Paeth, Adaptive };

// The libdeflate levels a plan picks from.
inline constexpr int QuickLevel = 3;       // fine texture, where deeper search gains little
inline constexpr int DefaultLevel = 6;     // zlib's default balance
inline constexpr int FewColoursLevel = 7;  // smooth frames of at most 256 colours
inline constexpr int NoisyLevel = 8;       // noisy frames of many colours
inline constexpr int DenseLevel = 9;       // flat graphics: long matches, cheap to find

// What compresses the filtered rows: libdeflate at the plan's level, or our
// own row encoder (RowDeflate.h), which parses only the rows that changed
// since the frame its thread wrote last. A measured plan picks the row
// encoder where it is as small for less time; fixed plans use libdeflate.
enum class PngDeflater { Libdeflate, Rows };

struct PngPlan {
    PngRowFilters Filters = PngRowFilters::Paeth;
    int Level = DefaultLevel;  // libdeflate's; the row encoder has one effort
    PngDeflater Deflater = PngDeflater::Libdeflate;
    friend bool operator==(const PngPlan&, const PngPlan&) = default;
};

// The fixed plan for one frame, from measures of every sixteenth row (PngPlan.cpp
// says which). Pure: the same pixels always get the same plan; a bitmap
// whose sides do not match its pixels gets the default plan (Paeth,
// DefaultLevel). Costs a Paeth filtering and a colour count of a sixteenth of
// the rows; allocates three rows, freed before it returns. Callable from any
// thread.
PngPlan PlanPngFrame(const Bitmap& bitmap);

// Writes rows [top, bottom) of `bitmap` filtered as `filters` says to `out`:
// each row's filter type byte, then its filtered bytes, (bottom - top) *
// (Width * 4 + 1) bytes in all, as the whole image's encoding has them.
// `scratch` holds five rows, `zero` one row of zeros (the row above the
// first). Costs one filtering of those rows (five with Adaptive).
void FilterPngRows(const Bitmap& bitmap, int top, int bottom, PngRowFilters filters, std::uint8_t* scratch,
                   const std::uint8_t* zero, std::uint8_t* out);

}  // namespace framelot

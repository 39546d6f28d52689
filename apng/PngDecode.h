// Decoding one stand-alone PNG image held in memory.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/Bitmap.h"

namespace framelot {

// Decodes the PNG in `bytes` into `out` (storage reused from call to call) as
// straight red, green, blue, alpha, 8 bits a sample, rows top-down: palette and
// low bit depths expanded, grey copied to all three colours, tRNS made alpha,
// 16-bit samples rounded to 8 bits as sRGB values, interlace undone. False when
// the bytes are not a PNG, are damaged, or claim a size beyond the pixel limit;
// the size is checked before anything is allocated for it.
bool DecodePngInto(std::span<const std::uint8_t> bytes, Bitmap& out);

}  // namespace framelot

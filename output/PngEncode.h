// Encoding a bitmap as an 8-bit RGBA PNG.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/Bitmap.h"

namespace framelot {

// Encodes the bitmap as a PNG of colour type 6 (RGBA, 8 bits a sample), upright,
// whose pixels are the bitmap's bytes exactly. Appends to `out`. False only if
// the encoder fails.
bool EncodePng(const Bitmap& bitmap, std::vector<std::uint8_t>& out);

}  // namespace framelot

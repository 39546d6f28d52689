// Decoding one stand-alone GIF image (the rebuild of one frame) held in memory.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/Bitmap.h"

namespace framelot {

// Decodes the first image of the GIF in `bytes` into `out` (storage reused from
// call to call), at the image's own size, as straight red, green, blue, alpha.
// Pixels of the control extension's transparent index come out all-zero; every
// other pixel has alpha 255, and an index beyond the colour table (or with no
// table) is opaque black. False when there is no image, the data is damaged, or
// the image claims a size beyond the pixel limit.
bool DecodeGifInto(std::span<const std::uint8_t> bytes, Bitmap& out);

}  // namespace framelot

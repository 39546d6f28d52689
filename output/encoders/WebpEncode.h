// A bitmap encoded as a WebP file (--format webp): lossless by default, every
// pixel kept exactly (the colour under transparent pixels too), or lossy at a
// quality from 0 to 100.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/Bitmap.h"

namespace framelot {

// The longest side a WebP image may have.
inline constexpr int MaxWebpSide = 16383;

// Encodes `bitmap` into `out`, lossless when `quality` is below 0. False when
// libwebp refuses it (a side over 16383 pixels, no memory); `out` is then
// unchanged. Any thread; costs one libwebp encoding (lossless at its default
// effort, or lossy with sharp colour conversion).
bool EncodeWebp(const Bitmap& bitmap, int quality, std::vector<std::uint8_t>& out);

}  // namespace framelot

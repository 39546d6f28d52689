// Decoding of one stand-alone GIF or PNG image held in memory.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "imaging/Bitmap.h"

namespace framelot {

// The first image of a GIF or PNG, at its own width and height, as straight
// blue, green, red, alpha, rows top-down; nothing when the bytes are neither,
// are damaged, or claim a size beyond the pixel limit. For a GIF, pixels of the
// control extension's transparent index come out all-zero and every other pixel
// has alpha 255.
std::optional<Bitmap> DecodeToDib(std::span<const std::uint8_t> bytes);

// The same, into a bitmap whose storage is reused from frame to frame.
bool DecodeGifInto(std::span<const std::uint8_t> bytes, Bitmap& out);
bool DecodePngInto(std::span<const std::uint8_t> bytes, Bitmap& out);

}  // namespace framelot

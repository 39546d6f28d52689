// Our decoder of a GIF image's LZW data, for images whose data follows the
// format: every string is copied whole from where it was first written, so a
// pixel costs a few byte copies instead of a walk down a chain of codes.
//
// It decodes what giflib decodes, the same way, and refuses everything else:
// data that runs out before the last pixel, an end code before it, a code not
// yet defined (other than the one being defined, with a string before it), a
// code beyond the literals straight after a clear, a code size outside 2 to
// 8. The caller then hands the image to giflib, whose handling of such damage
// is the one the converter keeps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace framelot {

// Decodes `data` (the image's sub-blocks' payloads joined, without their
// length bytes) with the minimum code size `codeSize` into `out`, which holds
// the image's pixel count: the indices in the order the data gives them (rows
// top to bottom, or interlaced passes). Codes after the last pixel are not
// read. True when every pixel was decoded; false as said above, with `out`'s
// contents undefined. Costs one pass over the data and one write a pixel;
// allocates nothing beyond a 32 KiB table on the stack.
bool DecodeGifLzw(std::span<const std::uint8_t> data, int codeSize, std::span<std::uint8_t> out);

}  // namespace framelot

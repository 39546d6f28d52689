// A bitmap encoded as a baseline JPEG file (--format jpeg). JPEG has no
// alpha, so every pixel is first laid over a solid background colour.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/Bitmap.h"

namespace framelot {

inline constexpr int DefaultJpegQuality = 90;
// From this quality up colour is kept at full resolution (4:4:4), where the
// eye would see halved colour at sharp edges; below it, halved (4:2:0).
inline constexpr int FullColourJpegQuality = 90;
// The largest side a JPEG file can state.
inline constexpr int MaxJpegSide = 65500;
inline constexpr Colour White = 0xFFFFFF;

// Each pixel over `background` (colour * alpha + background * (1 - alpha),
// rounded), encoded at `quality` (0 to 100; below 0: DefaultJpegQuality) with
// optimised Huffman tables, into `out`. False, `out` unchanged, when a side is
// over MaxJpegSide or libjpeg refuses it; nothing is printed. Any thread;
// costs one libjpeg-turbo encoding and one row of scratch memory.
bool EncodeJpeg(const Bitmap& bitmap, int quality, Colour background, std::vector<std::uint8_t>& out);

}  // namespace framelot

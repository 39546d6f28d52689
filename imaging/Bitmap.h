// The bitmap value every part of the program works on: 4 bytes a pixel in the
// order red, green, blue, alpha (the order PNG stores and every decoder
// can give), rows top-down without gaps.
#pragma once

#include <cstdint>
#include <vector>

namespace framelot {

struct Bitmap {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Pixels;  // Width * Height * 4 bytes
};

// A frame's place on a canvas, in pixels. Right and bottom are Left + Width
// and Top + Height, exclusive.
struct Rect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};

// A colour value with red in bits 0-7, green in 8-15, blue in 16-23.
using Colour = std::uint32_t;

// A new bitmap of the given size, every byte 0 (transparent black). Sides must
// already have been checked against the pixel limit.
Bitmap MakeBitmap(int width, int height);

// True when both bitmaps have the same size and every byte alike (a held
// frame, a repeated cell). Costs one comparison of the pixels.
inline bool SamePixels(const Bitmap& a, const Bitmap& b)
{
    return a.Width == b.Width && a.Height == b.Height && a.Pixels == b.Pixels;
}

}  // namespace framelot

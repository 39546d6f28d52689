// Putting frames on a sheet: the rectangle of a frame that is visible, and
// a frame's pixels copied to their cell with the cell's edge repeated
// outward. Both clip to the bitmaps, so any rectangle is safe.
#pragma once

#include <cstdint>

#include "imaging/Bitmap.h"

namespace framelot {

// The smallest rectangle holding every pixel of `frame` whose alpha is not 0;
// a rectangle of width and height 0 when there is none. Reads each pixel at
// most once.
Rect VisibleBounds(const Bitmap& frame);

// Copies the rectangle `from` of `frame` to (x, y) of `sheet`, then repeats
// its outermost rows and columns `extrude` times outward (the corners take
// the corner pixels), so that filtering at the cell's edge samples the
// frame's own colours. Costs O((w + 2e) x (h + 2e)).
void PaintCell(Bitmap& sheet, std::int64_t x, std::int64_t y, const Bitmap& frame, const Rect& from,
               std::uint64_t extrude);

}  // namespace framelot

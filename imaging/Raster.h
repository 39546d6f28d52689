// The raster operations compositing is built from. Every operation clips to
// the destination (and to the source block), so any rectangle, including one
// with negative or huge offsets, is safe.
#pragma once

#include "imaging/Bitmap.h"

namespace framelot {

// Every pixel of `rect` (clipped) gets red, green and blue from `colour` (red
// in the low byte) and alpha 0.
void FillRect(Bitmap& dst, const Rect& rect, Colour colour);

// Copies the width x height block at the source's origin to (x, y) of the
// destination, all four bytes, clipped at every edge.
void CopyBlock(Bitmap& dst, std::int64_t x, std::int64_t y, const Bitmap& src, std::int64_t width,
               std::int64_t height);

// Premultiplied source-over, per channel with alpha included:
//   dst = src + round(dst * (255 - srcAlpha) / 255)
// rounded to nearest (ties up), capped at 255. A transparent source pixel (all
// bytes 0) leaves the destination exactly; an opaque one replaces it exactly.
void BlendBlock(Bitmap& dst, std::int64_t x, std::int64_t y, const Bitmap& src, std::int64_t width,
                std::int64_t height);

// Source-over on straight (not premultiplied) colour, per pixel:
//   outAlpha = srcAlpha + dstAlpha * (255 - srcAlpha) / 255
//   outColour = (src * srcAlpha + dst * dstAlpha * (255 - srcAlpha) / 255) / outAlpha
// each rounded to nearest. A pixel drawn over a transparent one keeps its own
// colour exactly, however faint it is; transparent and opaque sources behave as
// in BlendBlock.
void BlendBlockStraight(Bitmap& dst, std::int64_t x, std::int64_t y, const Bitmap& src, std::int64_t width,
                        std::int64_t height);

// Copies the rectangle `rect` (clipped to `src`) of `src` into `saved`, and
// back. Used to restore what lay under a frame.
void SaveRegion(const Bitmap& src, const Rect& rect, Bitmap& saved, Rect& savedRect);
void RestoreRegion(Bitmap& dst, const Bitmap& saved, const Rect& savedRect);

// Grows `b` in place to at least width x height (never shrinks it): the old
// pixels stay at the origin and the new area is transparent black. Nothing
// happens when it is already that large; otherwise one new bitmap of the new
// size is allocated and the old pixels are copied into it.
void GrowBitmap(Bitmap& b, int width, int height);

// `turned` becomes `b` turned a quarter anticlockwise (width and height swap).
void TurnAnticlockwise(const Bitmap& b, Bitmap& turned);

// Exchanges top and bottom rows, or left and right columns, in place.
void FlipVertically(Bitmap& b);
void FlipHorizontally(Bitmap& b);

}  // namespace framelot

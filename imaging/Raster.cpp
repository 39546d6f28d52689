#include "imaging/Raster.h"

#include <algorithm>
#include <cstring>

namespace framelot {
namespace {

struct Span2D {
    int DstX = 0, DstY = 0, SrcX = 0, SrcY = 0, Width = 0, Height = 0;
};

// Clips a block of width x height placed at (x, y) against a destination of
// dstW x dstH. The block's own origin moves by as much as its left/top edge is
// cut off. Computed in 64 bits, so no offset can wrap.
bool ClipBlock(int dstW, int dstH, std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height,
               Span2D& out)
{
    std::int64_t left = std::max<std::int64_t>(x, 0);
    std::int64_t top = std::max<std::int64_t>(y, 0);
    std::int64_t right = std::min<std::int64_t>(x + width, dstW);
    std::int64_t bottom = std::min<std::int64_t>(y + height, dstH);
    if (width <= 0 || height <= 0 || left >= right || top >= bottom) return false;
    out.DstX = static_cast<int>(left);
    out.DstY = static_cast<int>(top);
    out.SrcX = static_cast<int>(left - x);
    out.SrcY = static_cast<int>(top - y);
    out.Width = static_cast<int>(right - left);
    out.Height = static_cast<int>(bottom - top);
    return true;
}

// Clips the width x height block at the source's origin, drawn at (x, y),
// against both the source and the destination.
bool ClipSourceBlock(const Bitmap& dst, std::int64_t x, std::int64_t y, const Bitmap& src, std::int64_t width,
                     std::int64_t height, Span2D& out)
{
    width = std::min<std::int64_t>(width, src.Width);
    height = std::min<std::int64_t>(height, src.Height);
    return ClipBlock(dst.Width, dst.Height, x, y, width, height, out);
}

std::uint8_t* PixelAt(Bitmap& b, int x, int y)
{
    return b.Pixels.data() + (static_cast<std::size_t>(y) * b.Width + x) * 4;
}

const std::uint8_t* PixelAt(const Bitmap& b, int x, int y)
{
    return b.Pixels.data() + (static_cast<std::size_t>(y) * b.Width + x) * 4;
}

}  // namespace

void FillRect(Bitmap& dst, const Rect& rect, Colour colour)
{
    Span2D s;
    if (!ClipBlock(dst.Width, dst.Height, rect.Left, rect.Top, rect.Width, rect.Height, s)) return;
    const std::uint8_t px[4] = {static_cast<std::uint8_t>(colour), static_cast<std::uint8_t>(colour >> 8),
                                static_cast<std::uint8_t>(colour >> 16), 0};
    for (int y = 0; y < s.Height; ++y) {
        std::uint8_t* d = PixelAt(dst, s.DstX, s.DstY + y);
        for (int x = 0; x < s.Width; ++x, d += 4) std::memcpy(d, px, 4);
    }
}

void CopyBlock(Bitmap& dst, std::int64_t x, std::int64_t y, const Bitmap& src, std::int64_t width,
               std::int64_t height)
{
    Span2D s;
    if (!ClipSourceBlock(dst, x, y, src, width, height, s)) return;
    for (int row = 0; row < s.Height; ++row) {
        std::memcpy(PixelAt(dst, s.DstX, s.DstY + row), PixelAt(src, s.SrcX, s.SrcY + row),
                    static_cast<std::size_t>(s.Width) * 4);
    }
}

// Calls op(destination pixel, source pixel) for every pixel of the clipped block.
template <typename PixelOp>
void ForEachBlockPixel(Bitmap& dst, std::int64_t x, std::int64_t y, const Bitmap& src, std::int64_t width,
                       std::int64_t height, PixelOp op)
{
    Span2D s;
    if (!ClipSourceBlock(dst, x, y, src, width, height, s)) return;
    for (int row = 0; row < s.Height; ++row) {
        std::uint8_t* d = PixelAt(dst, s.DstX, s.DstY + row);
        const std::uint8_t* p = PixelAt(src, s.SrcX, s.SrcY + row);
        for (int i = 0; i < s.Width; ++i, d += 4, p += 4) op(d, p);
    }
}

void BlendBlock(Bitmap& dst, std::int64_t x, std::int64_t y, const Bitmap& src, std::int64_t width,
                std::int64_t height)
{
    ForEachBlockPixel(dst, x, y, src, width, height, [](std::uint8_t* d, const std::uint8_t* p) {
        const unsigned a = p[3];
        if (a == 255) {
            std::memcpy(d, p, 4);
        } else if (a != 0) {
            const unsigned k = 255 - a;
            for (int c = 0; c < 4; ++c) {
                const unsigned v = p[c] + (d[c] * k + 127) / 255;
                d[c] = static_cast<std::uint8_t>(v > 255 ? 255 : v);
            }
        } else if ((p[0] | p[1] | p[2]) != 0) {
            // Colour under alpha 0 is not valid premultiplied data; it adds as
            // the formula says, so a malformed source cannot wrap a channel.
            for (int c = 0; c < 3; ++c) {
                const unsigned v = p[c] + d[c];
                d[c] = static_cast<std::uint8_t>(v > 255 ? 255 : v);
            }
        }
    });
}

void BlendBlockStraight(Bitmap& dst, std::int64_t x, std::int64_t y, const Bitmap& src, std::int64_t width,
                        std::int64_t height)
{
    ForEachBlockPixel(dst, x, y, src, width, height, [](std::uint8_t* d, const std::uint8_t* p) {
        const std::uint32_t sa = p[3], da = d[3];
        if (sa == 255 || (da == 0 && sa != 0)) {
            std::memcpy(d, p, 4);
        } else if (sa != 0) {
            const std::uint32_t srcWeight = sa * 255;         // alpha x 255
            const std::uint32_t dstWeight = da * (255 - sa);  // alpha x 255
            const std::uint32_t total = srcWeight + dstWeight;
            for (int c = 0; c < 3; ++c) {
                d[c] = static_cast<std::uint8_t>((p[c] * srcWeight + d[c] * dstWeight + total / 2) / total);
            }
            d[3] = static_cast<std::uint8_t>((total + 127) / 255);
        }
    });
}

void SaveRegion(const Bitmap& src, const Rect& rect, Bitmap& saved, Rect& savedRect)
{
    Span2D s;
    if (!ClipBlock(src.Width, src.Height, rect.Left, rect.Top, rect.Width, rect.Height, s)) {
        savedRect = Rect{};
        saved.Width = saved.Height = 0;
        return;
    }
    savedRect = Rect{s.DstX, s.DstY, s.Width, s.Height};
    saved.Width = s.Width;
    saved.Height = s.Height;
    saved.Pixels.resize(static_cast<std::size_t>(s.Width) * s.Height * 4);
    for (int row = 0; row < s.Height; ++row) {
        std::memcpy(PixelAt(saved, 0, row), PixelAt(src, s.DstX, s.DstY + row), static_cast<std::size_t>(s.Width) * 4);
    }
}

void RestoreRegion(Bitmap& dst, const Bitmap& saved, const Rect& savedRect)
{
    CopyBlock(dst, savedRect.Left, savedRect.Top, saved, savedRect.Width, savedRect.Height);
}

void TurnAnticlockwise(const Bitmap& b, Bitmap& turned)
{
    turned.Width = b.Height;
    turned.Height = b.Width;
    turned.Pixels.resize(b.Pixels.size());
    // Source pixel (x, y) lands at (y, width - 1 - x).
    for (int y = 0; y < b.Height; ++y) {
        for (int x = 0; x < b.Width; ++x) {
            std::memcpy(PixelAt(turned, y, b.Width - 1 - x), PixelAt(b, x, y), 4);
        }
    }
}

void FlipVertically(Bitmap& b)
{
    const std::size_t stride = static_cast<std::size_t>(b.Width) * 4;
    for (int top = 0, bottom = b.Height - 1; top < bottom; ++top, --bottom) {
        std::swap_ranges(PixelAt(b, 0, top), PixelAt(b, 0, top) + stride, PixelAt(b, 0, bottom));
    }
}

void FlipHorizontally(Bitmap& b)
{
    for (int y = 0; y < b.Height; ++y) {
        for (int left = 0, right = b.Width - 1; left < right; ++left, --right) {
            std::swap_ranges(PixelAt(b, left, y), PixelAt(b, left, y) + 4, PixelAt(b, right, y));
        }
    }
}

void GrowBitmap(Bitmap& b, int width, int height)
{
    width = std::max(width, b.Width);
    height = std::max(height, b.Height);
    if (width == b.Width && height == b.Height) return;
    Bitmap grown = MakeBitmap(width, height);
    CopyBlock(grown, 0, 0, b, b.Width, b.Height);
    b = std::move(grown);
}

}  // namespace framelot

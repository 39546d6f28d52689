#include "output/sheets/SheetPaint.h"

#include <algorithm>
#include <cstring>

namespace framelot {
namespace {

constexpr std::size_t Channels = 4;
constexpr std::size_t AlphaByte = 3;

std::uint8_t* PixelOf(Bitmap& b, std::int64_t x, std::int64_t y)
{
    return b.Pixels.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(b.Width) + static_cast<std::size_t>(x)) * Channels;
}

const std::uint8_t* PixelOf(const Bitmap& b, std::int64_t x, std::int64_t y)
{
    return b.Pixels.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(b.Width) + static_cast<std::size_t>(x)) * Channels;
}

bool Inside(const Bitmap& b, std::int64_t x, std::int64_t y)
{
    return x >= 0 && y >= 0 && x < b.Width && y < b.Height;
}

}  // namespace

Rect VisibleBounds(const Bitmap& frame)
{
    int left = frame.Width, top = frame.Height, right = -1, bottom = -1;
    for (int y = 0; y < frame.Height; ++y) {
        const std::uint8_t* row = PixelOf(frame, 0, y);
        for (int x = 0; x < frame.Width; ++x) {
            if (row[static_cast<std::size_t>(x) * Channels + AlphaByte] == 0) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = y;
        }
    }
    if (right < 0) return Rect{0, 0, 0, 0};
    return Rect{left, top, right - left + 1, bottom - top + 1};
}

void PaintCell(Bitmap& sheet, std::int64_t x, std::int64_t y, const Bitmap& frame, const Rect& from,
               std::uint64_t extrude)
{
    // The source rectangle, clipped to the frame.
    const std::int64_t left = std::max<std::int64_t>(from.Left, 0), top = std::max<std::int64_t>(from.Top, 0);
    const std::int64_t right = std::min<std::int64_t>(static_cast<std::int64_t>(from.Left) + from.Width, frame.Width);
    const std::int64_t bottom = std::min<std::int64_t>(static_cast<std::int64_t>(from.Top) + from.Height, frame.Height);
    if (right <= left || bottom <= top) return;
    const auto e = static_cast<std::int64_t>(std::min<std::uint64_t>(extrude, 1u << 30));
    const std::int64_t width = right - left, height = bottom - top;
    for (std::int64_t dy = -e; dy < height + e; ++dy) {
        const std::int64_t sy = top + std::clamp<std::int64_t>(dy, 0, height - 1);
        const std::int64_t ty = y + dy;
        if (ty < 0 || ty >= sheet.Height) continue;
        const std::int64_t x0 = std::max<std::int64_t>(x, 0), x1 = std::min<std::int64_t>(x + width, sheet.Width);
        if (x1 > x0) {
            std::memcpy(PixelOf(sheet, x0, ty), PixelOf(frame, left + (x0 - x), sy), static_cast<std::size_t>(x1 - x0) * Channels);
        }
        for (std::int64_t k = 1; k <= e; ++k) {
            if (Inside(sheet, x - k, ty)) std::memcpy(PixelOf(sheet, x - k, ty), PixelOf(frame, left, sy), Channels);
            if (Inside(sheet, x + width - 1 + k, ty)) {
                std::memcpy(PixelOf(sheet, x + width - 1 + k, ty), PixelOf(frame, right - 1, sy), Channels);
            }
        }
    }
}

}  // namespace framelot

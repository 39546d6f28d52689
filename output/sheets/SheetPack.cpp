#include "output/sheets/SheetPack.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace framelot {
namespace {

constexpr std::uint64_t LargestPowerOfTwo = 1ull << 62;

std::uint64_t CeilDiv(std::uint64_t a, std::uint64_t b)
{
    return a / b + (a % b != 0 ? 1 : 0);
}

// The largest power of two at or below `n` (0 for 0).
std::uint64_t PowerOfTwoAtMost(std::uint64_t n)
{
    std::uint64_t p = 1;
    if (n == 0) return 0;
    while (p <= n / 2) p *= 2;
    return p;
}

// The smallest s with s * s >= n.
std::uint64_t SquareSide(std::uint64_t n)
{
    auto s = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(n)));
    while (s * s < n) ++s;
    while (s > 0 && (s - 1) * (s - 1) >= n) --s;
    return s;
}

std::string SizeText(std::uint64_t width, std::uint64_t height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

SheetPacking Refused(std::string reason)
{
    SheetPacking packing;
    packing.Error = std::move(reason);
    return packing;
}

void RoundPages(SheetPacking& packing, const SheetOptions& options)
{
    if (!options.PowerOfTwo) return;
    for (SheetPage& page : packing.Pages) {
        page.Width = PowerOfTwoAtLeast(page.Width);
        page.Height = PowerOfTwoAtLeast(page.Height);
    }
}

// A cell of outerWidth x outerHeight (extrusion included) with the margin on
// both sides, against the maximum: empty, or why it cannot fit.
std::string CellTooLarge(std::uint64_t outerWidth, std::uint64_t outerHeight, const SheetOptions& options,
                         const SheetPage& maximum)
{
    if (maximum.Width == 0) return {};
    const std::uint64_t width = outerWidth + 2 * options.Margin, height = outerHeight + 2 * options.Margin;
    if (width <= maximum.Width && height <= maximum.Height) return {};
    return "a frame needs " + SizeText(width, height) + " pixels with its extrusion and the margin, more than the " +
           "largest sheet allowed, " + SizeText(maximum.Width, maximum.Height) +
           (options.PowerOfTwo ? " (--max-size lowered to powers of two)" : "");
}

// Rows of items, `limit` pixels of content wide at most (inside the margin).
SheetPacking PackRowsAt(const std::vector<PackItem>& items, const std::vector<std::size_t>& order,
                        std::uint64_t limit, const SheetOptions& options, const SheetPage& maximum)
{
    const std::uint64_t e = options.Extrude, p = options.Padding, m = options.Margin;
    const std::uint64_t heightLimit = maximum.Height == 0 ? UINT64_MAX : maximum.Height - 2 * m;
    SheetPacking packing;
    packing.Cells.resize(items.size());
    std::uint64_t x = 0, y = 0, rowHeight = 0, usedWidth = 0, usedHeight = 0;
    std::uint32_t page = 0;
    const auto finishPage = [&] { packing.Pages.push_back({usedWidth + 2 * m, usedHeight + 2 * m}); };
    for (std::size_t i : order) {
        const std::uint64_t w = items[i].Width + 2 * e, h = items[i].Height + 2 * e;
        if (x > 0 && x + w > limit) {
            y += rowHeight + p;
            x = 0;
            rowHeight = 0;
        }
        if (y > 0 && (y > heightLimit || h > heightLimit - y)) {
            finishPage();
            ++page;
            x = y = rowHeight = usedWidth = usedHeight = 0;
        }
        packing.Cells[i] = {page, m + x + e, m + y + e};
        usedWidth = std::max(usedWidth, x + w);
        usedHeight = std::max(usedHeight, y + h);
        rowHeight = std::max(rowHeight, h);
        x += w + p;
    }
    finishPage();
    return packing;
}

}  // namespace

std::uint64_t PowerOfTwoAtLeast(std::uint64_t n)
{
    std::uint64_t p = 1;
    while (p < n && p < LargestPowerOfTwo) p *= 2;
    return p < n ? n : p;
}

SheetPage EffectiveMaximum(const SheetOptions& options)
{
    if (options.MaxWidth == 0 || options.MaxHeight == 0) return {};
    if (!options.PowerOfTwo) return {options.MaxWidth, options.MaxHeight};
    return {PowerOfTwoAtMost(options.MaxWidth), PowerOfTwoAtMost(options.MaxHeight)};
}

SheetPacking PackGrid(std::uint64_t cells, std::uint64_t cellWidth, std::uint64_t cellHeight,
                      const SheetOptions& options)
{
    if (cells == 0) return {};
    const std::uint64_t e = options.Extrude, p = options.Padding, m = options.Margin;
    const std::uint64_t outerWidth = cellWidth + 2 * e, outerHeight = cellHeight + 2 * e;
    const SheetPage maximum = EffectiveMaximum(options);
    if (std::string tooLarge = CellTooLarge(outerWidth, outerHeight, options, maximum); !tooLarge.empty()) {
        return Refused(tooLarge);
    }
    std::uint64_t columns = options.Columns;
    if (columns == 0 && options.Rows > 0) columns = CeilDiv(cells, options.Rows);
    if (columns == 0) columns = SquareSide(cells);
    columns = std::min(columns, cells);
    const auto sheetWidth = [&](std::uint64_t c) { return 2 * m + c * outerWidth + (c - 1) * p; };
    std::uint64_t totalRows = CeilDiv(cells, columns);
    std::uint64_t rowsPerPage = totalRows;
    if (maximum.Width > 0) {
        const std::uint64_t fitColumns = (maximum.Width - 2 * m + p) / (outerWidth + p);
        const std::uint64_t fitRows = (maximum.Height - 2 * m + p) / (outerHeight + p);
        if (columns > fitColumns) {
            if (options.Columns > 0) {
                return Refused(std::to_string(columns) + " columns make a sheet " + std::to_string(sheetWidth(columns)) +
                               " pixels wide, more than the largest sheet allowed, " + std::to_string(maximum.Width));
            }
            columns = fitColumns;
            totalRows = CeilDiv(cells, columns);
        }
        if (options.Rows > 0 && options.Columns == 0 && totalRows > fitRows) {
            return Refused(std::to_string(totalRows) + " rows make a sheet taller than the largest sheet allowed, " +
                           std::to_string(maximum.Height));
        }
        rowsPerPage = std::min(totalRows, fitRows);
    }
    SheetPacking packing;
    const std::uint64_t pages = CeilDiv(totalRows, rowsPerPage);
    for (std::uint64_t page = 0; page < pages; ++page) {
        const std::uint64_t rows = std::min(rowsPerPage, totalRows - page * rowsPerPage);
        packing.Pages.push_back({sheetWidth(columns), 2 * m + rows * outerHeight + (rows - 1) * p});
    }
    packing.Cells.reserve(cells);
    for (std::uint64_t k = 0; k < cells; ++k) {
        const std::uint64_t row = k / columns;
        packing.Cells.push_back({static_cast<std::uint32_t>(row / rowsPerPage), m + (k % columns) * (outerWidth + p) + e,
                                 m + (row % rowsPerPage) * (outerHeight + p) + e});
    }
    RoundPages(packing, options);
    return packing;
}

SheetPacking PackRows(const std::vector<PackItem>& items, const SheetOptions& options)
{
    if (items.empty()) return {};
    const std::uint64_t e = options.Extrude, p = options.Padding, m = options.Margin;
    const SheetPage maximum = EffectiveMaximum(options);
    std::uint64_t widest = 0, area = 0;
    for (const PackItem& item : items) {
        const std::uint64_t w = item.Width + 2 * e, h = item.Height + 2 * e;
        if (std::string tooLarge = CellTooLarge(w, h, options, maximum); !tooLarge.empty()) return Refused(tooLarge);
        widest = std::max(widest, w);
        area += (w + p) * (h + p);
    }
    std::vector<std::size_t> order(items.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (items[a].Height != items[b].Height) return items[a].Height > items[b].Height;
        return items[a].Width > items[b].Width;
    });
    std::uint64_t limit = std::max(widest, SquareSide(area));
    const std::uint64_t widestAllowed = maximum.Width == 0 ? 0 : maximum.Width - 2 * m;
    if (maximum.Width > 0) limit = std::min(limit, widestAllowed);
    SheetPacking packing = PackRowsAt(items, order, limit, options, maximum);
    if (packing.Pages.size() > 1 && limit < widestAllowed) {
        packing = PackRowsAt(items, order, widestAllowed, options, maximum);
    }
    RoundPages(packing, options);
    return packing;
}

}  // namespace framelot

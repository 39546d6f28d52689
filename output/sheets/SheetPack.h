// Where each frame goes on a sprite sheet: a grid of equal cells, or frames
// of their own sizes packed in rows, with padding between cells, a margin
// around the sheet, extruded edges, power-of-two sides and a maximum size
// past which the frames spill onto further sheets. Plain arithmetic in 64
// bits; nothing here allocates pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace framelot {

struct SheetOptions {
    std::uint64_t Columns = 0;   // a grid's columns; 0: from Rows, or the smallest square
    std::uint64_t Rows = 0;      // a grid's rows; 0: as many as the frames need
    std::uint64_t Padding = 0;   // transparent pixels between cells
    std::uint64_t Margin = 0;    // transparent pixels around the sheet
    std::uint64_t Extrude = 0;   // each cell's edge pixels repeated this many times outward
    bool PowerOfTwo = false;     // both sides of every sheet a power of two
    std::uint64_t MaxWidth = 0, MaxHeight = 0;  // 0: no maximum (and no spill)
    bool Trim = false;           // frames cut to what is visible and packed in rows
};

// A cell's content: the pixels that are drawn, without extrusion.
struct PackItem {
    std::uint64_t Width = 0, Height = 0;
};

// Where an item's content goes: its top-left corner on sheet `Page`, with its
// extrusion (if any) around it.
struct PackedCell {
    std::uint32_t Page = 0;
    std::uint64_t X = 0, Y = 0;
};

struct SheetPage {
    std::uint64_t Width = 0, Height = 0;
};

struct SheetPacking {
    std::vector<SheetPage> Pages;   // one, or more when a maximum made the frames spill
    std::vector<PackedCell> Cells;  // one per item, in the items' order
    std::string Error;              // why the items cannot be placed (then nothing else is set)
};

// The sides a sheet may have at most: the maximum, lowered to a power of two
// when both sides must be one. 0 where there is no maximum.
SheetPage EffectiveMaximum(const SheetOptions& options);

// `cells` equal cells of cellWidth x cellHeight in a grid, row by row: Columns
// of them a row when given, else enough columns for Rows rows, else the
// smallest square grid (never more columns than cells). With a maximum, a
// sheet takes as many whole rows as fit and the rest spill onto the next;
// columns that do not fit the maximum width are an error (when Columns was
// asked for) or are lowered to what fits. With no options set this is the
// plain grid: cell k at ((k mod columns) x cellWidth, (k div columns) x
// cellHeight). Costs O(cells).
SheetPacking PackGrid(std::uint64_t cells, std::uint64_t cellWidth, std::uint64_t cellHeight,
                      const SheetOptions& options);

// Items of their own sizes in rows (shelves): tallest first (ties: wider
// first, then in order), left to right until the row is full, rows top to
// bottom until the sheet is full, then the next sheet. The row width is the
// side of a square holding all the items, at least the widest item, at most
// the maximum; a packing that spills uses the full maximum width. Each sheet
// is then cut to what it uses (and rounded up to powers of two when asked).
// Deterministic: the same items give the same packing. Costs O(n log n).
SheetPacking PackRows(const std::vector<PackItem>& items, const SheetOptions& options);

// The smallest power of two at or above `n` (1 for 0); `n` itself when that
// would pass 2^62.
std::uint64_t PowerOfTwoAtLeast(std::uint64_t n);

}  // namespace framelot

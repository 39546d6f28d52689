// A sprite sheet: frames in a grid, row by row, every cell the size of the
// largest frame, and its atlas in the JSON array form game and web engines
// read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"

namespace framelot {

struct SheetLayout {
    std::uint64_t Columns = 0, Rows = 0;
    std::uint64_t CellWidth = 0, CellHeight = 0;
    std::uint64_t Width = 0, Height = 0;  // the sheet's pixels: Columns x CellWidth by Rows x CellHeight
};

// The grid for `cells` cells of cellWidth x cellHeight, `columns` wide (0: the
// smallest square that holds them all; never more columns than cells). The
// sides are computed in 64 bits and not checked against any limit: the caller
// does that before it makes the sheet.
SheetLayout PlanSheet(std::uint64_t cells, std::uint64_t cellWidth, std::uint64_t cellHeight,
                      std::uint64_t columns);

// Where cell `k` (0 upward, row by row) starts on the sheet.
Rect SheetCell(const SheetLayout& layout, std::uint64_t k);

// One frame of the atlas: the frame file's name it stands for, its place on
// the sheet (its own size, from its cell's top-left corner) and its display
// time.
struct SheetEntry {
    std::string FileName;  // "name_0004.png"
    Rect Place;
    double DurationMs = 0;
};

// The atlas: {"frames": [{"filename", "frame": {x, y, w, h}, "duration"}, ...],
// "meta": {"image", "size": {w, h}, "format": "RGBA8888", "app": "Framelot",
// "version"}}, one frame a line, ending in a newline.
std::string SheetAtlasJson(const std::vector<SheetEntry>& entries, const SheetLayout& layout,
                           const std::string& imageName, const std::string& version);

}  // namespace framelot

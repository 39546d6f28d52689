#include "output/SpriteSheet.h"

#include "output/JsonText.h"

namespace framelot {

SheetLayout PlanSheet(std::uint64_t cells, std::uint64_t cellWidth, std::uint64_t cellHeight, std::uint64_t columns)
{
    SheetLayout layout;
    if (cells == 0) return layout;
    if (columns == 0) {
        while (columns * columns < cells) ++columns;  // cells is at most MaxFrames: a few hundred steps
    }
    if (columns > cells) columns = cells;
    layout.Columns = columns;
    layout.Rows = (cells + columns - 1) / columns;
    layout.CellWidth = cellWidth;
    layout.CellHeight = cellHeight;
    layout.Width = columns * cellWidth;
    layout.Height = layout.Rows * cellHeight;
    return layout;
}

Rect SheetCell(const SheetLayout& layout, std::uint64_t k)
{
    const std::uint64_t column = layout.Columns == 0 ? 0 : k % layout.Columns;
    const std::uint64_t row = layout.Columns == 0 ? 0 : k / layout.Columns;
    return Rect{static_cast<std::int32_t>(column * layout.CellWidth), static_cast<std::int32_t>(row * layout.CellHeight),
                static_cast<std::int32_t>(layout.CellWidth), static_cast<std::int32_t>(layout.CellHeight)};
}

std::string SheetAtlasJson(const std::vector<SheetEntry>& entries, const SheetLayout& layout,
                           const std::string& imageName, const std::string& version)
{
    std::string json = "{\"frames\": [";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const SheetEntry& e = entries[i];
        json += i == 0 ? "\n  " : ",\n  ";
        json += "{\"filename\": " + JsonString(e.FileName) + ", \"frame\": {\"x\": " + std::to_string(e.Place.Left) +
                ", \"y\": " + std::to_string(e.Place.Top) + ", \"w\": " + std::to_string(e.Place.Width) +
                ", \"h\": " + std::to_string(e.Place.Height) + "}, \"duration\": " + JsonNumber(e.DurationMs) + "}";
    }
    json += "\n],\n\"meta\": {\"image\": " + JsonString(imageName) + ", \"size\": {\"w\": " +
            std::to_string(layout.Width) + ", \"h\": " + std::to_string(layout.Height) +
            "}, \"format\": \"RGBA8888\", \"app\": \"Framelot\", \"version\": " + JsonString(version) + "}}\n";
    return json;
}

}  // namespace framelot

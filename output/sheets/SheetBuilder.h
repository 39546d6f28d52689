// One file's sprite sheet: planned before anything is decoded, filled frame
// by frame as the converter composes them, and written at the end as one or
// more sheets and their atlas, each a new file, or none of them. Objects
// here belong to the converting thread.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "imaging/AnimationInfo.h"
#include "imaging/Bitmap.h"
#include "imaging/ConvertResult.h"
#include "output/files/ByteCap.h"
#include "output/sheets/Atlas.h"
#include "output/sheets/SheetPack.h"

namespace framelot {

// Where the sheet's files go: "<base>_sheet.png" (or "<base>_sheet-1.png",
// "-2", ... when it spills) and "<base>_sheet" with the atlas's extension.
struct SheetPaths {
    std::string Placed;     // the source as if it lay where its outputs go
    bool MakeFolder = true;
    std::string Single;     // the sheet's path when there is one sheet
    std::string FirstPage;  // the first sheet's path when there are more
    std::string AtlasPath;
};

SheetPaths PlanSheetPaths(const std::string& placed, bool makeFolder, AtlasFormat format);

// True when any of the sheet's outputs is there already.
bool SheetTaken(const SheetPaths& paths);

// The path of sheet `page` (0 upward) of `pages`.
std::string SheetPagePath(const SheetPaths& paths, std::size_t page, std::size_t pages);

// What the sheet is asked to be: its packing, whether runs of held frames
// come merged (a grid then laid out once they are known), the atlas's form.
struct SheetChoice {
    SheetOptions Packing;
    bool MergeHeld = false;
    AtlasFormat Atlas = AtlasFormat::Array;
};

struct SheetBuilder {
    SheetBuilder(SheetChoice choice, SheetPaths paths) : Options(std::move(choice)), Paths(std::move(paths)) {}

    SheetChoice Options;
    SheetPaths Paths;
    std::uint64_t Cells = 0;           // the chosen frames
    std::int64_t CellWidth = 0, CellHeight = 0;  // the canvas every frame is at
    SheetPacking Grid;                 // without trimming: each chosen frame's cell, known beforehand
                                       // (for merged runs, laid out when they are known)
    std::vector<Bitmap> Pages;         // without trimming or merging: the sheets, painted as frames come
    Atlas Entries;                     // with trimming, places are filled in at the end
    std::vector<Bitmap> Stored;        // with trimming: each distinct visible part, once; merging: each frame
    std::vector<std::size_t> CellOf;   // with trimming or merging: each entry's stored part
    std::unordered_multimap<std::size_t, std::size_t> ByHash;  // stored parts by a hash of their pixels
    std::uint64_t Repeats = 0;         // entries that share an earlier entry's cell
    SheetPacking Packed;               // with trimming: the packing Pack made

    // Checks, before anything is decoded, that `cells` frames at width x
    // height can make a sheet under these options: every sheet and all the
    // frames held for trimming within the pixel limit, every cell of a grid
    // within --max-size (a trimmed frame's size is known only when it is
    // packed), an atlas form that can name the sheets. Converted, or the
    // reason (over a limit, or a usage error).
    ConvertResult Plan(std::uint64_t cells, std::int64_t width, std::int64_t height);

    // Puts a frame on the sheet: `fileName` is the frame file it stands for,
    // `durationMs` its display time. Frames past the chosen count are ignored.
    void Add(const std::string& fileName, const Bitmap& frame, double durationMs);
    std::uint64_t Added() const { return Entries.Frames.size(); }

    // Packs what was held (with trimming) and names the sheets: Converted, or
    // why the frames cannot make the sheets asked for (a trimmed frame larger
    // than --max-size, a sheet over the limit, a form that names one sheet).
    // Nothing is written.
    ConvertResult Pack(const AnimationInfo& info);

    // Puts each entry at its stored part's cell of `packing`, once the
    // packing, its sheets' sizes and the atlas form are found good.
    ConvertResult PlaceEntries(const SheetPacking& packing, bool trimmed);

    // After Pack: writes the sheets and the atlas, each a new file. When any
    // is there already, or any cannot be written, the sheets this call wrote
    // are removed again; so are they when `cap` cannot spend their bytes.
    // Converted with the first sheet's path in Destination and a note of what
    // was saved (cells shared, sheets spilled), Skipped when an output was
    // there, Failed with the reason.
    ConvertResult Write(ByteCap* cap = nullptr);
};

}  // namespace framelot

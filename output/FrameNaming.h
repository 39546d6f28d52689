// Where a source's frames go, how they are named, and when a source is passed
// over because its output is already there.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace framelot {

// Position of the path's extension: the last "." after which no separator
// (IsPathSeparator) and no space follows. npos when there is none.
std::size_t FindExtension(std::string_view path);

// The path without its extension.
std::string StripExtension(std::string_view path);

// The folder frames go into when the placement switch is on: the source path
// without its extension.
std::string OutputFolderPath(std::string_view source);

// The path of frame `index`: "<stem>_%04d.png", the stem being the source path
// without its extension, placed inside OutputFolderPath when `makeFolder`.
std::string FrameFilePath(std::string_view source, bool makeFolder, std::uint64_t index);

// True when the source is to be passed over: with the switch on, when its output
// folder exists as a folder; with it off, when anything exists at the path of
// frame `firstFrame` (the first frame that would be written).
bool OutputExists(std::string_view source, bool makeFolder, std::uint64_t firstFrame = 0);

// The source's path as if it lay in `outputFolder` (its file name there): the
// functions above then give the places under that folder. `source` itself when
// `outputFolder` is empty.
std::string PlacedSource(std::string_view source, std::string_view outputFolder);

// The sprite sheet's path: "<stem>_sheet" and `extension` (".png", ".json"),
// placed as FrameFilePath places frames.
std::string SheetFilePath(std::string_view source, bool makeFolder, std::string_view extension);

}  // namespace framelot

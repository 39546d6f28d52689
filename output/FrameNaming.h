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
// folder exists as a folder; with it off, when anything exists at frame 0's path.
bool OutputExists(std::string_view source, bool makeFolder);

}  // namespace framelot

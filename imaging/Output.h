// Where a source's frames go, how they are named, when a source is passed over
// because its output is already there, and how the source is read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace framelot {

// Position of the path's extension: the last "." after which no "/" and no
// space follows. npos when there is none.
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

struct SourceFile {
    bool Ok = false;
    std::vector<std::uint8_t> Bytes;
    std::string Error;  // why it could not be read
};

// Reads the whole file, refusing anything that is not a regular file or is
// larger than the source size limit.
SourceFile ReadSourceFile(const std::string& path);

}  // namespace framelot

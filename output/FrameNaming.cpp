#include "output/FrameNaming.h"

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "output/PathText.h"

namespace framelot {

std::size_t FindExtension(std::string_view path)
{
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '.') {
            found = i;
        } else if (IsPathSeparator(path[i]) || path[i] == ' ') {
            found = std::string_view::npos;
        }
    }
    return found;
}

std::string StripExtension(std::string_view path)
{
    return std::string(path.substr(0, FindExtension(path)));
}

std::string OutputFolderPath(std::string_view source)
{
    return StripExtension(source);
}

namespace {

// The path every output name of the source starts with.
std::string PlacedStem(std::string_view source, bool makeFolder)
{
    std::string stem = StripExtension(source);
    if (makeFolder) stem = stem + "/" + FileNameOf(stem);
    return stem;
}

}  // namespace

std::string FrameFilePath(std::string_view source, bool makeFolder, std::uint64_t index)
{
    char number[32];
    std::snprintf(number, sizeof number, "_%04" PRIu64 ".png", index);
    return PlacedStem(source, makeFolder) + number;
}

bool OutputExists(std::string_view source, bool makeFolder, std::uint64_t firstFrame)
{
    std::error_code error;
    if (makeFolder) return std::filesystem::is_directory(PathFromUtf8(OutputFolderPath(source)), error);
    // Anything at all counts, a dangling link too.
    return std::filesystem::exists(
        std::filesystem::symlink_status(PathFromUtf8(FrameFilePath(source, false, firstFrame)), error));
}

std::string PlacedSource(std::string_view source, std::string_view outputFolder)
{
    if (outputFolder.empty()) return std::string(source);
    std::string placed(outputFolder);
    if (!IsPathSeparator(placed.back())) placed += '/';
    return placed + FileNameOf(source);
}

std::string SheetFilePath(std::string_view source, bool makeFolder, std::string_view extension)
{
    return PlacedStem(source, makeFolder) + "_sheet" + std::string(extension);
}

}  // namespace framelot

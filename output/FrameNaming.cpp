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

std::string FrameFilePath(std::string_view source, bool makeFolder, std::uint64_t index)
{
    std::string stem = StripExtension(source);
    if (makeFolder) {
        stem = stem + "/" + FileNameOf(stem);
    }
    char number[32];
    std::snprintf(number, sizeof number, "_%04" PRIu64 ".png", index);
    return stem + number;
}

bool OutputExists(std::string_view source, bool makeFolder)
{
    std::error_code error;
    if (makeFolder) return std::filesystem::is_directory(PathFromUtf8(OutputFolderPath(source)), error);
    // Anything at all counts, a dangling link too.
    return std::filesystem::exists(std::filesystem::symlink_status(PathFromUtf8(FrameFilePath(source, false, 0)), error));
}

}  // namespace framelot

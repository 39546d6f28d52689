#include "output/FrameNaming.h"

#include <sys/stat.h>

#include <cinttypes>
#include <cstdio>

namespace framelot {

std::size_t FindExtension(std::string_view path)
{
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '.') {
            found = i;
        } else if (path[i] == '/' || path[i] == ' ') {
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
        const auto slash = stem.rfind('/');
        const std::string name = slash == std::string::npos ? stem : stem.substr(slash + 1);
        stem = stem + "/" + name;
    }
    char number[32];
    std::snprintf(number, sizeof number, "_%04" PRIu64 ".png", index);
    return stem + number;
}

bool OutputExists(std::string_view source, bool makeFolder)
{
    struct stat st;
    if (makeFolder) {
        const std::string folder = OutputFolderPath(source);
        return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    const std::string first = FrameFilePath(source, false, 0);
    return ::lstat(first.c_str(), &st) == 0;
}

}  // namespace framelot

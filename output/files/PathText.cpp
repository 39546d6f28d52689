#include "output/files/PathText.h"

namespace framelot {

std::size_t LastSeparator(std::string_view path)
{
    for (std::size_t i = path.size(); i > 0; --i) {
        if (IsPathSeparator(path[i - 1])) return i - 1;
    }
    const bool driveLetter = path.size() >= 2 && path[1] == ':' &&
                             ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (BackslashSeparates && driveLetter) return 1;
    return std::string_view::npos;
}

std::string FileNameOf(std::string_view path)
{
    const std::size_t slash = LastSeparator(path);
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string FolderOfPath(std::string_view path)
{
    const std::size_t slash = LastSeparator(path);
    if (slash == std::string_view::npos) return ".";
    if (path[slash] == ':') return std::string(path.substr(0, slash + 1));  // "Z:" alone is the drive's current folder
    return std::string(path.substr(0, slash == 0 ? 1 : slash));
}

}  // namespace framelot

#include <sys/statvfs.h>

#include <filesystem>

#include "output/files/FreeSpace.h"
#include "output/files/PathText.h"

namespace framelot {

std::optional<std::uint64_t> FreeBytes(const std::string& folder)
{
    std::filesystem::path path = PathFromUtf8(folder.empty() ? std::string(".") : folder);
    std::error_code error;
    while (!std::filesystem::exists(path, error) && path.has_parent_path() && path != path.parent_path()) {
        path = path.parent_path();
    }
    struct statvfs fs {};
    if (::statvfs(path.c_str(), &fs) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(fs.f_bavail) * static_cast<std::uint64_t>(fs.f_frsize);
}

}  // namespace framelot

#include <windows.h>

#include <filesystem>

#include "output/files/FreeSpace.h"
#include "output/files/PathText.h"

namespace framelot {

std::optional<std::uint64_t> FreeBytes(const std::string& folder)
{
    std::filesystem::path path = std::filesystem::absolute(PathFromUtf8(folder.empty() ? std::string(".") : folder));
    std::error_code error;
    while (!std::filesystem::exists(path, error) && path.has_parent_path() && path != path.parent_path()) {
        path = path.parent_path();
    }
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(path.c_str(), &available, nullptr, nullptr)) return std::nullopt;
    return static_cast<std::uint64_t>(available.QuadPart);
}

}  // namespace framelot

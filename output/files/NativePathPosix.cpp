#include "output/files/PathText.h"

namespace framelot {

std::filesystem::path PathFromUtf8(std::string_view utf8)
{
    return std::filesystem::path(std::string(utf8));
}

std::filesystem::path ExactPathFromUtf8(std::string_view utf8)
{
    return PathFromUtf8(utf8);
}

std::string FileSystemCaseKey(std::string_view utf8)
{
    return std::string(utf8);
}

std::string Utf8FromPath(const std::filesystem::path& path)
{
    return path.native();
}

}  // namespace framelot

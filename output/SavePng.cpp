#include "output/SavePng.h"
#include "output/PngEncode.h"

#include <sys/stat.h>

#include "output/NewFile.h"

namespace framelot {

SaveOutcome SavePng(const Bitmap& bitmap, const std::string& path)
{
    // Anything already at the path stays as it is; nothing is encoded for it.
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) return {SaveStatus::AlreadyExists, {}};

    std::vector<std::uint8_t> png;
    if (!EncodePng(bitmap, png)) return {SaveStatus::Failed, "cannot encode PNG"};
    return WriteNewFile(path, png);
}

}  // namespace framelot

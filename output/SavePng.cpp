#include "output/SavePng.h"

#include "output/NewFile.h"
#include "output/PngEncode.h"

namespace framelot {

SaveOutcome SavePng(const Bitmap& bitmap, const std::string& path, std::vector<std::uint8_t>& encoded)
{
    // Anything already at the path stays as it is; nothing is encoded for it.
    if (PathTaken(path)) return {SaveStatus::AlreadyExists, {}};

    if (encoded.empty() && !EncodePng(bitmap, encoded)) {
        encoded.clear();
        return {SaveStatus::Failed, "cannot encode PNG"};
    }
    return WriteNewFile(path, encoded);
}

}  // namespace framelot

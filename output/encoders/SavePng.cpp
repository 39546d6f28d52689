#include "output/encoders/SavePng.h"

#include "output/files/NewFile.h"

namespace framelot {

SaveOutcome SavePng(const Bitmap& bitmap, const std::string& path, std::vector<std::uint8_t>& encoded,
                    PngEncoder& encoder)
{
    return SavePng(bitmap, path, encoded, encoder, PlanPngFrame(bitmap));
}

SaveOutcome SavePng(const Bitmap& bitmap, const std::string& path, std::vector<std::uint8_t>& encoded,
                    PngEncoder& encoder, const PngPlan& plan)
{
    // Anything already at the path stays as it is; nothing is encoded for it.
    if (PathTaken(path)) return {SaveStatus::AlreadyExists, {}};

    if (encoded.empty() && !EncodePng(encoder, bitmap, plan, encoded)) {
        encoded.clear();
        return {SaveStatus::Failed, "cannot encode PNG"};
    }
    return WriteNewFile(path, encoded);
}

}  // namespace framelot

#include "output/encoders/FrameEncoding.h"

#include <algorithm>

#include "output/encoders/SavePng.h"
#include "output/encoders/WebpEncode.h"

namespace framelot {

const char* FrameExtension(FrameFormat format)
{
    switch (format) {
    case FrameFormat::Webp: return ".webp";
    case FrameFormat::Jpeg: return ".jpg";
    case FrameFormat::Png: break;
    }
    return ".png";
}

bool EncodeFrame(const FrameEncoding& encoding, const Bitmap& bitmap, PngEncoder& encoder,
                 std::vector<std::uint8_t>& out)
{
    switch (encoding.Format) {
    case FrameFormat::Webp: return EncodeWebp(bitmap, encoding.Quality, out);
    case FrameFormat::Jpeg: return EncodeJpeg(bitmap, encoding.Quality, encoding.Background.value_or(White), out);
    case FrameFormat::Png: break;
    }
    return EncodePng(encoder, bitmap, out);
}

bool EncodeFrame(const FrameEncoding& encoding, const Bitmap& bitmap, PngEncoder& encoder, const PngPlan* plan,
                 std::vector<std::uint8_t>& out, std::string& reason)
{
    const bool encoded = encoding.Format == FrameFormat::Png
                             ? EncodePng(encoder, bitmap, plan ? *plan : PlanPngFrame(bitmap), out)
                             : EncodeFrame(encoding, bitmap, encoder, out);
    if (encoded) return true;
    out.clear();
    const int longest = std::max(bitmap.Width, bitmap.Height);
    if (encoding.Format == FrameFormat::Jpeg && longest > MaxJpegSide) {
        reason = "a JPEG frame is at most " + std::to_string(MaxJpegSide) + " pixels a side";
    } else if (encoding.Format == FrameFormat::Webp && longest > MaxWebpSide) {
        reason = "a WebP frame is at most " + std::to_string(MaxWebpSide) + " pixels a side";
    } else {
        reason = encoding.Format == FrameFormat::Jpeg ? "cannot encode JPEG"
                 : encoding.Format == FrameFormat::Webp ? "cannot encode WebP"
                                                        : "cannot encode PNG";
    }
    return false;
}

SaveOutcome SaveFrame(const FrameEncoding& encoding, const Bitmap& bitmap, const std::string& path,
                      std::vector<std::uint8_t>& encoded, PngEncoder& encoder, const PngPlan* plan, ByteCap* cap)
{
    // Anything already at the path stays as it is; nothing is encoded for it.
    if (PathTaken(path)) return {SaveStatus::AlreadyExists, {}};
    std::string reason;
    if (encoded.empty() && !EncodeFrame(encoding, bitmap, encoder, plan, encoded, reason)) {
        return {SaveStatus::Failed, reason};
    }
    if (cap != nullptr && !cap->Spend(encoded.size())) {
        return {SaveStatus::Failed, "the frames would take more than --max-output", false, true};
    }
    return WriteNewFile(path, encoded);
}

}  // namespace framelot

#include "output/FrameEncoding.h"

#include "output/SavePng.h"
#include "output/WebpEncode.h"

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

SaveOutcome SaveFrame(const FrameEncoding& encoding, const Bitmap& bitmap, const std::string& path,
                      std::vector<std::uint8_t>& encoded, PngEncoder& encoder, const PngPlan* plan)
{
    if (encoding.Format == FrameFormat::Png) {
        return plan ? SavePng(bitmap, path, encoded, encoder, *plan) : SavePng(bitmap, path, encoded, encoder);
    }
    if (PathTaken(path)) return {SaveStatus::AlreadyExists, {}};
    if (encoded.empty() && !EncodeFrame(encoding, bitmap, encoder, encoded)) {
        encoded.clear();
        if (encoding.Format == FrameFormat::Jpeg && (bitmap.Width > MaxJpegSide || bitmap.Height > MaxJpegSide)) {
            return {SaveStatus::Failed, "a JPEG frame is at most " + std::to_string(MaxJpegSide) + " pixels a side"};
        }
        return {SaveStatus::Failed, encoding.Format == FrameFormat::Jpeg ? "cannot encode JPEG" : "cannot encode WebP"};
    }
    return WriteNewFile(path, encoded);
}

}  // namespace framelot

#include "convert/FileInfo.h"

#include "convert/SourceFile.h"
#include "convert/SourceFormats.h"
#include "output/JsonText.h"

namespace framelot {
namespace {

const char* StatusName(ConvertStatus status)
{
    switch (status) {
    case ConvertStatus::Converted: return "ok";
    case ConvertStatus::Skipped: return "skipped";
    case ConvertStatus::NotAnimation: return "not_animation";
    case ConvertStatus::Unreadable: return "unreadable";
    case ConvertStatus::Failed: return "failed";
    }
    return "failed";
}

}  // namespace

ConvertResult ReadFileInfo(const std::string& path, AnimationInfo& info)
{
    const SourceFormat* format = FormatOfPath(path);
    if (format == nullptr) return NotAnimation(NotAnAnimationName);
    const SourceFile file = ReadSourceFile(path);
    if (!file.Ok) return {ConvertStatus::Unreadable, file.Error, 0, 0, {}, FailureKind::FileSystem};
    return format->Describe(file.Bytes, info);
}

std::string FileInfoJson(const std::string& file, const ConvertResult& r, const AnimationInfo& info)
{
    std::string out = "{\"file\": " + JsonString(file) + ", \"status\": \"" + StatusName(r.Status) + "\"";
    if (r.Status != ConvertStatus::Converted) return out + ", \"reason\": " + JsonString(r.Reason) + "}";
    out += ", \"format\": " + JsonString(info.Format);
    out += ", \"canvas\": {\"width\": " + std::to_string(info.CanvasWidth) + ", \"height\": " +
           std::to_string(info.CanvasHeight) + "}";
    out += ", \"declared\": {\"width\": " + std::to_string(info.DeclaredWidth) + ", \"height\": " +
           std::to_string(info.DeclaredHeight) + "}";
    out += ", \"loops\": " + (info.Loops ? std::to_string(*info.Loops) : std::string("null"));
    if (!info.Damage.empty()) out += ", \"damage\": " + JsonString(info.Damage);
    out += ", \"frames\": [";
    for (std::size_t i = 0; i < info.Frames.size(); ++i) {
        const FrameInfo& f = info.Frames[i];
        out += std::string(i == 0 ? "\n    " : ",\n    ") + "{\"index\": " + std::to_string(i) +
               ", \"left\": " + std::to_string(f.Bounds.Left) + ", \"top\": " + std::to_string(f.Bounds.Top) +
               ", \"width\": " + std::to_string(f.Bounds.Width) + ", \"height\": " + std::to_string(f.Bounds.Height) +
               ", \"delay_ms\": " + JsonNumber(f.DelayMs) + ", \"delay_raw\": " + JsonString(f.RawDelay) +
               ", \"dispose\": " + JsonString(DisposeName(f.Dispose)) +
               ", \"blend\": " + JsonString(BlendName(f.Blend)) + "}";
    }
    return out + "]}";
}

}  // namespace framelot

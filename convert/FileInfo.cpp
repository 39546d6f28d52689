#include "convert/FileInfo.h"

#include <algorithm>

#include "convert/FrameBook.h"
#include "convert/SourceFile.h"
#include "convert/SourceFormats.h"
#include "output/files/JsonText.h"
#include "output/encoders/PngEncode.h"

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

ConvertResult SurveyFileFrames(const std::string& path, bool mergeHeld, AnimationInfo& info, std::uint64_t& estimatedBytes)
{
    estimatedBytes = 0;
    const SourceFormat* format = FormatOfPath(path);
    if (format == nullptr) return NotAnimation(NotAnAnimationName);
    const SourceFile file = ReadSourceFile(path);
    if (!file.Ok) return {ConvertStatus::Unreadable, file.Error, 0, 0, {}, FailureKind::FileSystem};
    ConvertResult described = format->Describe(file.Bytes, info);
    if (described.Status != ConvertStatus::Converted) return described;
    std::vector<std::uint64_t> runStarts;
    HeldRun run;
    const FrameSink sink = [&](std::uint64_t index, const Bitmap& frame) {
        if (index == 0) {
            PngEncoder encoder;
            std::vector<std::uint8_t> png;
            if (EncodePng(encoder, frame, png)) estimatedBytes = png.size() * info.Frames.size();
        }
        if (!mergeHeld) return false;
        if (!run.Continues(frame)) {
            runStarts.push_back(index);
            run.Start(index, frame, 0);
        }
        return true;
    };
    format->Convert(file.Bytes, sink, [](std::uint64_t) {});
    if (!mergeHeld || runStarts.empty()) return described;
    std::vector<FrameInfo> merged;
    for (std::size_t r = 0; r < runStarts.size(); ++r) {
        const std::uint64_t first = runStarts[r];
        const std::uint64_t end = std::min<std::uint64_t>(r + 1 < runStarts.size() ? runStarts[r + 1] : info.Frames.size(),
                                                          info.Frames.size());
        if (first >= end) break;
        FrameInfo f = info.Frames[first];
        for (std::uint64_t i = first + 1; i < end; ++i) f.DelayMs += info.Frames[i].DelayMs;
        if (end - first > 1) f.RawDelay = std::to_string(first) + "-" + std::to_string(end - 1) + " held";
        merged.push_back(std::move(f));
    }
    info.Frames = std::move(merged);
    return described;
}

std::string FileInfoJson(const std::string& file, const ConvertResult& r, const AnimationInfo& info,
                         std::uint64_t estimatedBytes)
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
    if (estimatedBytes > 0) out += ", \"estimated_bytes\": " + std::to_string(estimatedBytes);
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

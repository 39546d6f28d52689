#include "convert/FileInfo.h"

#include <algorithm>

#include "convert/FrameChain.h"
#include "convert/OutputPlan.h"
#include "convert/SourceFile.h"
#include "convert/SourceFormats.h"
#include "output/encoders/PngEncode.h"
#include "output/files/JsonText.h"

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

    // The frames as a conversion with these options would deliver them: the
    // same plan and chain, so the runs merged and their times are the ones
    // written. Names are not looked at.
    OutputOptions options;
    options.MergeHeld = mergeHeld;
    OutputPlan plan = PlanPlaces(path, options);
    SettlePlan(plan, info, true);
    std::vector<std::pair<std::uint64_t, double>> delivered;  // first index, time
    FrameChain chain{plan, [&](const DeliveredFrame& frame) {
                         if (delivered.empty()) {
                             PngEncoder encoder;
                             std::vector<std::uint8_t> png;
                             if (EncodePng(encoder, frame.Pixels, png)) estimatedBytes = png.size() * info.Frames.size();
                         }
                         delivered.emplace_back(frame.Index, frame.DurationMs);
                         return mergeHeld;  // without merging, the first frame is all the estimate needs
                     }};
    format->Convert(file.Bytes, [&](std::uint64_t index, const Bitmap& frame) { return chain.Take(index, frame); },
                    [](std::uint64_t) {});
    chain.Flush();
    if (!mergeHeld || delivered.empty()) return described;
    std::vector<FrameInfo> merged;
    for (std::size_t k = 0; k < delivered.size(); ++k) {
        const auto [first, duration] = delivered[k];
        if (first >= info.Frames.size()) break;
        const std::uint64_t end = k + 1 < delivered.size() ? delivered[k + 1].first : info.Frames.size();
        FrameInfo f = info.Frames[first];
        f.DelayMs = duration;
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

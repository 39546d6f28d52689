#include "cli/Info.h"

#include <cmath>
#include <cstdio>

#include "convert/Describe.h"
#include "convert/FileInfo.h"
#include "convert/RoomCheck.h"
#include "output/files/JsonText.h"

namespace framelot {
namespace {

// Viewers commonly stretch display times this short (browsers show a GIF
// delay of 0 or 1 hundredth as 100 ms).
constexpr double StretchedDelayMs = 10;

std::string LoopsText(const AnimationInfo& info)
{
    if (!info.Loops) return "no loop count";
    if (*info.Loops == 0) return "loops forever";
    return "loop count " + std::to_string(*info.Loops);
}

void PrintText(const std::string& file, const ConvertResult& r, const AnimationInfo& info, std::uint64_t estimatedBytes)
{
    if (r.Status != ConvertStatus::Converted) {
        std::printf("%s\n", DescribeResult(file, r).c_str());
        return;
    }
    std::printf("%s: %s, canvas %lld x %lld (declared %lld x %lld), %s, %zu frames\n", file.c_str(),
                info.Format.c_str(), static_cast<long long>(info.CanvasWidth), static_cast<long long>(info.CanvasHeight),
                static_cast<long long>(info.DeclaredWidth), static_cast<long long>(info.DeclaredHeight),
                LoopsText(info).c_str(), info.Frames.size());
    std::printf("  %6s %6s %6s %6s %6s %10s  %-12s %-10s %s\n", "frame", "left", "top", "width", "height", "delay ms",
                "stored", "dispose", "blend");
    bool stretched = false;
    for (std::size_t i = 0; i < info.Frames.size(); ++i) {
        const FrameInfo& f = info.Frames[i];
        const bool shortDelay = f.DelayMs <= StretchedDelayMs;
        stretched = stretched || shortDelay;
        std::printf("  %6zu %6d %6d %6d %6d %8s %s  %-12s %-10s %s\n", i, f.Bounds.Left, f.Bounds.Top, f.Bounds.Width,
                    f.Bounds.Height, JsonNumber(f.DelayMs).c_str(), shortDelay ? "*" : " ", f.RawDelay.c_str(),
                    DisposeName(f.Dispose), BlendName(f.Blend));
    }
    if (stretched) std::printf("  * 10 ms or less: viewers commonly show such a frame for about 100 ms\n");
    if (!info.Damage.empty()) std::printf("  the file is damaged: %s\n", info.Damage.c_str());
    if (estimatedBytes > 0) {
        std::printf("  the frames as PNG files: about %s (the first frame's PNG times the frames)\n",
                    SizeInWords(estimatedBytes).c_str());
    }
}

}  // namespace

bool PrintInfo(const std::vector<std::string>& files, bool json, bool mergeHeld)
{
    bool ok = true;
    if (json) std::printf("[");
    for (std::size_t i = 0; i < files.size(); ++i) {
        AnimationInfo info;
        std::uint64_t estimated = 0;
        const ConvertResult r = SurveyFileFrames(files[i], mergeHeld, info, estimated);
        ok = ok && r.Status != ConvertStatus::Failed && r.Status != ConvertStatus::Unreadable && info.Damage.empty();
        if (json) {
            std::printf("%s\n  %s", i == 0 ? "" : ",", FileInfoJson(files[i], r, info, estimated).c_str());
        } else {
            PrintText(files[i], r, info, estimated);
        }
    }
    if (json) std::printf("\n]\n");
    return ok;
}

}  // namespace framelot

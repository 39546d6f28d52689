#include "apng/ApngInfo.h"

#include "apng/ApngWalk.h"
#include "imaging/Limits.h"

namespace framelot {
namespace {

constexpr std::uint16_t DefaultDenominator = 100;  // what a denominator of 0 stands for

}  // namespace

ConvertResult ReadApngInfo(std::span<const std::uint8_t> bytes, AnimationInfo& info)
{
    const ApngIndex index = IndexApng(bytes, MaxFrames + 1);
    ConvertResult checked = CheckApngAnimation(index);
    if (checked.Status != ConvertStatus::Converted) return checked;
    info.Format = "APNG";
    info.DeclaredWidth = index.ImageWidth;
    info.DeclaredHeight = index.ImageHeight;
    info.CanvasWidth = index.Frames[0].Width;
    info.CanvasHeight = index.Frames[0].Height;
    info.Loops = index.Plays;
    info.Damage = ApngDamage(index);
    // Frames announced past the last fcTL keep the previous frame's record.
    const ApngFrameRecord* record = &index.Frames[0];
    for (std::size_t i = 0; i < static_cast<std::size_t>(index.Count); ++i) {
        if (i < index.Frames.size()) record = &index.Frames[i];
        const std::uint16_t denominator = record->DelayDenominator == 0 ? DefaultDenominator : record->DelayDenominator;
        info.Frames.push_back({record->Bounds, 1000.0 * record->DelayNumerator / denominator,
                               std::to_string(record->DelayNumerator) + "/" + std::to_string(record->DelayDenominator) + " s",
                               record->Dispose, record->Blend});
    }
    return checked;
}

}  // namespace framelot

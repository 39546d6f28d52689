#include "jxl/JxlInfo.h"

#include <string>

#include "jxl/JxlIndex.h"

namespace framelot {

ConvertResult ReadJxlInfo(std::span<const std::uint8_t> bytes, AnimationInfo& info)
{
    JxlAnimation animation;
    if (ConvertResult indexed = IndexJxl(bytes, animation); indexed.Status != ConvertStatus::Converted) return indexed;
    // Conversion writes the frames before the damage and says where it is.
    if (animation.Damaged) info.Damage = JxlMissingFrames(animation.Durations.size());
    info.Format = "JPEG XL";
    info.DeclaredWidth = animation.DeclaredWidth;
    info.DeclaredHeight = animation.DeclaredHeight;
    info.CanvasWidth = animation.Width;
    info.CanvasHeight = animation.Height;
    info.Loops = animation.Loops;
    const Rect whole{0, 0, static_cast<std::int32_t>(animation.Width), static_cast<std::int32_t>(animation.Height)};
    const std::string tick = std::to_string(animation.TicksPerSecondDenominator) + "/" +
                             std::to_string(animation.TicksPerSecondNumerator) + " s";
    for (const std::uint32_t ticks : animation.Durations) {
        info.Frames.push_back({whole, JxlDurationMs(animation, ticks), std::to_string(ticks) + " ticks of " + tick,
                               DisposeMethod::None, BlendMethod::Source});
    }
    return Converted();
}

}  // namespace framelot

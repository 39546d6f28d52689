#include "webp/WebpInfo.h"

#include "webp/WebpDemux.h"

namespace framelot {

ConvertResult ReadWebpInfo(std::span<const std::uint8_t> bytes, AnimationInfo& info)
{
    WebpAnimation animation;
    ConvertResult checked = ReadWebpAnimation(bytes, animation);
    if (checked.Status != ConvertStatus::Converted) return checked;
    info.Format = "WebP";
    info.DeclaredWidth = animation.DeclaredWidth;
    info.DeclaredHeight = animation.DeclaredHeight;
    info.CanvasWidth = animation.Right;
    info.CanvasHeight = animation.Bottom;
    info.Loops = animation.Loops;
    info.Damage = animation.Damage;
    for (const WebpFrameHeader& h : animation.Frames) {
        info.Frames.push_back({h.Bounds, static_cast<double>(h.Duration), std::to_string(h.Duration) + " ms",
                               h.DisposeBackground ? DisposeMethod::Background : DisposeMethod::None,
                               h.NoBlend ? BlendMethod::Source : BlendMethod::Over});
    }
    return checked;
}

}  // namespace framelot

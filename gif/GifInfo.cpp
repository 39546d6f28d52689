#include "gif/GifInfo.h"

#include "gif/GifWalk.h"
#include "imaging/ByteReader.h"

namespace framelot {
namespace {

constexpr double MillisecondsPerHundredth = 10;

}  // namespace

ConvertResult ReadGifInfo(std::span<const std::uint8_t> bytes, AnimationInfo& info)
{
    GifAnimation animation;
    ConvertResult checked = IndexGifAnimation(bytes, animation);
    if (checked.Status != ConvertStatus::Converted) return checked;
    constexpr std::size_t ScreenSizeOffset = 6;
    ByteReader screen{bytes, ScreenSizeOffset};
    info.Format = "GIF";
    info.DeclaredWidth = ReadU16Le(screen);
    info.DeclaredHeight = ReadU16Le(screen);
    info.CanvasWidth = animation.Right;
    info.CanvasHeight = animation.Bottom;
    info.Damage = animation.Damage;
    if (const auto loops = GifLoopCount(bytes, animation.BlocksOffset)) info.Loops = *loops;
    for (std::size_t i = 0; i < animation.Frames.size(); ++i) {
        const GifFrameRecord& f = animation.Frames[i];
        info.Frames.push_back({f.Bounds, f.Delay * MillisecondsPerHundredth, std::to_string(f.Delay) + "/100 s",
                               f.Disposal, BlendMethod::Over});
    }
    return checked;
}

}  // namespace framelot

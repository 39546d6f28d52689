#include "imaging/Limits.h"

namespace framelot {

std::string AnimationOverLimits(std::uint64_t frames, std::int64_t width, std::int64_t height)
{
    if (frames > MaxFrames) return "more than " + std::to_string(MaxFrames) + " frames (over the program's limit)";
    if (!FitsLimits(width, height)) {
        return "canvas of " + std::to_string(width) + " x " + std::to_string(height) +
               " pixels is over the program's limit";
    }
    if (static_cast<std::uint64_t>(width * height) * frames > MaxOutputPixels) {
        return "frames x canvas size is over the program's limit";
    }
    return {};
}

}  // namespace framelot

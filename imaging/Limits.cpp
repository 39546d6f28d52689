#include "imaging/Limits.h"

#include <iterator>

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

std::string DescribeByteCount(std::uint64_t bytes)
{
    static constexpr const char* Units[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
    std::size_t unit = 0;
    while (unit + 1 < std::size(Units) && bytes >= 1024 && bytes % 1024 == 0) {
        bytes /= 1024;
        ++unit;
    }
    return std::to_string(bytes) + " " + Units[unit];
}

}  // namespace framelot

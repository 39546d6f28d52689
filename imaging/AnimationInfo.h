// What a file says about its animation, for `framelot-cli --info`: the canvas,
// the loop count, and each frame's rectangle, display time and methods.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"

namespace framelot {

struct FrameInfo {
    Rect Bounds;
    double DelayMs = 0;     // the display time the file gives, in milliseconds
    std::string RawDelay;   // as stored: "10/100 s" (GIF), "1/30 s" (APNG), "40 ms" (WebP)
    std::string Dispose;    // in the format's own terms: "none", "keep", "background", "previous"
    std::string Blend;      // "over" or "source"
};

struct AnimationInfo {
    std::string Format;                      // "GIF", "APNG", "WebP"
    std::int64_t CanvasWidth = 0, CanvasHeight = 0;      // the canvas the frames are written at (its last size)
    std::int64_t DeclaredWidth = 0, DeclaredHeight = 0;  // the size in the file's header
    std::optional<std::uint32_t> Loops;      // 0: forever; none when the file does not say
    std::vector<FrameInfo> Frames;
};

}  // namespace framelot

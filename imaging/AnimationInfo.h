// What a file says about its animation, for `framelot-cli --info`: the canvas,
// the loop count, and each frame's rectangle, display time and methods.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/FrameMethods.h"

namespace framelot {

struct FrameInfo {
    Rect Bounds;
    double DelayMs = 0;     // the display time the file gives, in milliseconds
    std::string RawDelay;   // as stored: "10/100 s" (GIF), "1/30 s" (APNG), "40 ms" (WebP),
                            // "1/24 s" (AVIF: units of the track's timescale), "3 ticks of 1/100 s" (JPEG XL)
    DisposeMethod Dispose = DisposeMethod::None;
    BlendMethod Blend = BlendMethod::Source;
};

struct AnimationInfo {
    std::string Format;                      // "GIF", "APNG", "WebP", "AVIF", "JPEG XL"
    std::int64_t CanvasWidth = 0, CanvasHeight = 0;      // the canvas the frames are written at (its last size)
    std::int64_t DeclaredWidth = 0, DeclaredHeight = 0;  // the size in the file's header
    std::optional<std::uint32_t> Loops;      // 0: forever; none when the file does not say
    std::vector<FrameInfo> Frames;
    std::string Damage;                      // as ConvertResult::Damage: what of the file is missing or broken
};

}  // namespace framelot

// The index of a JPEG XL animation: one pass over its headers and frame
// headers, skipping every frame's pixel data. Conversion and --info both start
// from it, so they agree on the frame count, the limits and the reasons.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imaging/ConvertResult.h"

namespace framelot {

struct JxlAnimation {
    std::uint32_t DeclaredWidth = 0, DeclaredHeight = 0;  // the image header's size, before orientation
    std::uint32_t Width = 0, Height = 0;                  // the frames' size: orientations 5-8 exchange the sides
    std::uint32_t Loops = 0;                              // 0: forever
    std::uint32_t TicksPerSecondNumerator = 0, TicksPerSecondDenominator = 0;
    std::vector<std::uint32_t> Durations;  // ticks, one a displayed (composed) frame, in order
    bool Damaged = false;  // the walk met damage or the file's end after the frames in Durations
};

// Walks the file once; costs a parse of every header, nothing a pixel, and
// allocates a few bytes a frame. Converted when the file is an animation: at
// least two frames, or damage after the first (whose frames before the damage
// are still worth writing); every frame within the limits of imaging/Limits.h.
// Otherwise why not: "not a JPEG XL file", a still image, one frame, damage
// before the first frame, or which limit is passed (checked before the frame
// over it is counted). Damage inside a frame's pixel data, which the walk
// skips, is found when the frame is decoded.
// With `stills`, a still image (one frame, no animation) is taken too.
ConvertResult IndexJxl(std::span<const std::uint8_t> bytes, JxlAnimation& animation, bool stills = false);

// A frame's display time in milliseconds: ticks x denominator / numerator; 0
// when the file gives 0 ticks a second.
double JxlDurationMs(const JxlAnimation& animation, std::uint32_t ticks);

// The reason given when frame `index` cannot be read or decoded.
std::string JxlFrameDamage(std::uint64_t index);

// The damage said when the frames from `index` on are lost to it.
std::string JxlMissingFrames(std::uint64_t index);

}  // namespace framelot

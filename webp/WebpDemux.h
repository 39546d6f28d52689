// Reading an animated WebP's frame headers through libwebp's demuxer, once.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imaging/ConvertResult.h"
#include "webp/WebpCompose.h"

namespace framelot {

struct WebpAnimation {
    std::vector<WebpFrameHeader> Frames;  // each frame's bitstream points into the file's bytes
    Colour Background = 0;                // the ANIM background colour (red in the low byte)
    std::uint32_t Loops = 0;              // 0: forever
    std::uint32_t DeclaredWidth = 0, DeclaredHeight = 0;  // the canvas size in the header
    std::int64_t Right = 0, Bottom = 0;   // the farthest frame edges: the canvas's last size
    std::string Damage;                   // the file ends early: as ConvertResult::Damage says
};

// Converted when the bytes are an animation within the limits; otherwise why
// not, before anything is allocated for its pixels. A file cut short keeps its
// whole frames, with Damage saying so; cut before its second frame, it is
// Damaged.
ConvertResult ReadWebpAnimation(std::span<const std::uint8_t> bytes, WebpAnimation& animation);

}  // namespace framelot

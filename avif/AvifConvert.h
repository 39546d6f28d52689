// Splitting an animated AVIF (an AV1 image sequence) into frames.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/ConvertResult.h"

namespace framelot {

// Decodes every image of the file's image sequence track, full canvas, turned
// and mirrored as the file says, and hands it to `sink` in order.
ConvertResult ConvertAvifData(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                              const FrameCountSink& announce = {});

// The same for a still image: its one image, as its one frame.
ConvertResult ConvertAvifStill(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                               const FrameCountSink& announce = {});

}  // namespace framelot

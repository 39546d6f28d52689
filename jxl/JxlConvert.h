// Splitting a JPEG XL animation into composed frames.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/ConvertResult.h"

namespace framelot {

// Decodes every displayed frame, composed by the decoder onto the full canvas
// and oriented as the file says, and hands it to `sink` in order.
ConvertResult ConvertJxlData(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                             const FrameCountSink& announce = {});

// The same for a still image too: its image is its one frame.
ConvertResult ConvertJxlStill(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                              const FrameCountSink& announce = {});

}  // namespace framelot

// Splitting an animated WebP into composed frames.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/ConvertResult.h"

namespace framelot {

// Composes every frame of the file in `bytes` and hands it to `sink`, in order.
ConvertResult ConvertWebpData(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                              const FrameCountSink& announce = {});

// The same for a still image: its one image, as its one frame.
ConvertResult ConvertWebpStill(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                               const FrameCountSink& announce = {});

}  // namespace framelot

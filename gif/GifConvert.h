// Splitting an animated GIF into composed frames.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/ConvertResult.h"

namespace framelot {

// Composes every frame of the file in `bytes` and hands it to `sink`, in order.
ConvertResult ConvertGifData(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                              const FrameCountSink& announce = {});

// The same for a file of one image or more: a still's image is its one frame.
ConvertResult ConvertGifStill(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                              const FrameCountSink& announce = {});

}  // namespace framelot

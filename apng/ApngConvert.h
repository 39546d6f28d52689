// Splitting an animated PNG (APNG) into composed frames.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/ConvertResult.h"

namespace framelot {

// Composes every frame of the file in `bytes` and hands it to `sink`, in order.
ConvertResult ConvertApngData(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                              const FrameCountSink& announce = {});

}  // namespace framelot

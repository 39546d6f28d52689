// Splitting an animated PNG (APNG) into composed frames.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/ConvertResult.h"

namespace framelot {

// Composes every frame of the file in `bytes` and hands it to `sink`, in order.
// The canvas is the first frame's size; parts of later frames outside it are
// clipped.
ConvertResult ConvertApngData(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                              const FrameCountSink& announce = {});

// The same on a canvas of the size IHDR declares (which may be larger than the
// first frame when the default image is not a frame).
ConvertResult ConvertApngDataOnDeclaredCanvas(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                                              const FrameCountSink& announce = {});

// A still PNG (or an APNG's default image alone): its one image, as its one
// frame.
ConvertResult ConvertPngStill(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                              const FrameCountSink& announce = {});

}  // namespace framelot

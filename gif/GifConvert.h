// Splitting an animated GIF into composed frames.
#pragma once

#include <string>

#include "imaging/ConvertResult.h"
#include "imaging/FrameWriterPool.h"

namespace framelot {

// Composes every frame of the GIF in `bytes` and hands it to `sink`.
ConvertResult ConvertGifData(std::span<const std::uint8_t> bytes, const FrameSink& sink);

// The whole conversion of the file at `source`: skip test, read, frames saved
// as numbered PNG files beside it or in a folder named after it.
ConvertResult ConvertGif(const std::string& source, bool makeFolder,
                           unsigned encodeThreads = DefaultEncodeThreads());

}  // namespace framelot

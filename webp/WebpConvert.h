// Splitting an animated WebP into composed frames.
#pragma once

#include <string>

#include "imaging/ConvertResult.h"
#include "imaging/FrameWriterPool.h"

namespace framelot {

ConvertResult ConvertWebpData(std::span<const std::uint8_t> bytes, const FrameSink& sink);

ConvertResult ConvertWebp(const std::string& source, bool makeFolder,
                           unsigned encodeThreads = DefaultEncodeThreads());

}  // namespace framelot

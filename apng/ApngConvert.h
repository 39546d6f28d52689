// Splitting an animated PNG into composed frames.
#pragma once

#include <string>

#include "imaging/ConvertResult.h"
#include "imaging/FrameWriterPool.h"

namespace framelot {

ConvertResult ConvertApngData(std::span<const std::uint8_t> bytes, const FrameSink& sink);

ConvertResult ConvertApng(const std::string& source, bool makeFolder,
                           unsigned encodeThreads = DefaultEncodeThreads());

}  // namespace framelot

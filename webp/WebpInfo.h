// Describing an animated WebP without decoding it.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/AnimationInfo.h"
#include "imaging/ConvertResult.h"

namespace framelot {

// Fills `info` from the file's frame headers. Converted when the file is an animation
// the converter would take; otherwise the same status and reason it gives.
ConvertResult ReadWebpInfo(std::span<const std::uint8_t> bytes, AnimationInfo& info);

}  // namespace framelot

// Describing a JPEG XL animation: its frame headers, without decoding pixels.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/AnimationInfo.h"
#include "imaging/ConvertResult.h"

namespace framelot {

// Fills `info` from the frame headers. Converted when the file is an animation
// the converter would take; otherwise the same status and reason it gives.
ConvertResult ReadJxlInfo(std::span<const std::uint8_t> bytes, AnimationInfo& info);

}  // namespace framelot

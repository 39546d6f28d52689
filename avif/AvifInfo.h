// Describing an AVIF image sequence: its timing, without decoding it.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/AnimationInfo.h"
#include "imaging/ConvertResult.h"

namespace framelot {

// Fills `info` from the sequence track. Converted when the file is an animation
// the converter would take; otherwise the same status and reason it gives.
// `Loops` is the file's number of plays (0: forever), left empty when the file
// does not say or libavif is older than 1.0, which does not read it.
ConvertResult ReadAvifInfo(std::span<const std::uint8_t> bytes, AnimationInfo& info);

}  // namespace framelot

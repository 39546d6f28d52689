// What happened to one file, in one line a user reads: the command line prints
// it, the window lists it in its tooltip.
#pragma once

#include <cstdint>
#include <string>

#include "imaging/ConvertResult.h"

namespace framelot {

// "anim.gif: 24 frames written to anim", "cut.gif: 2 frames written to cut;
// the file is damaged: ...", "old.gif: skipped, output already exists: old",
// "still.gif: not converted, ...", "photo.gif: failed: ...".
std::string DescribeResult(const std::string& name, const ConvertResult& result);

// "1 frame", "24 frames".
std::string FrameCountText(std::uint64_t frames);

}  // namespace framelot

// Frames picked by step or by time, among the frames --frames chooses:
// --every N (the first chosen frame, then every Nth), --at TIMES (the frame
// shown at each time) and --count N (N frames spread evenly over the
// animation's time). Times count by the file's own delays: a frame shows
// from the sum of the delays before it for its own delay, so a frame of no
// delay is never shown at a time (unless every delay is 0: then time 0 shows
// the first frame). Viewers commonly stretch delays of 10 ms or less to
// about 100 ms; these times do not.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/FrameList.h"

namespace framelot {

struct FrameSampling {
    std::uint64_t Every = 0;        // 0: not asked
    std::vector<double> AtMs;       // empty: not asked
    std::uint64_t Count = 0;        // 0: not asked
};

bool SamplingAsked(const FrameSampling& sampling);

// Reads "0,1.5s,2500ms" (a number alone is seconds); each time at least 0.
// Nothing, with the reason in `error`, for empty parts, other units, or
// numbers that are not finite.
std::optional<std::vector<double>> ParseTimes(std::string_view text, std::string& error);

// The frames chosen: those of `list` (every frame when empty) among the
// `delaysMs.size()` frames of the file, then sampled. One span a frame, in
// order, each frame once. `note` says what could not be picked (times past
// the end, several times or counts landing on one frame), or stays empty.
// Costs O(frames + times x log frames).
FrameList SampleFrames(const FrameList& list, const FrameSampling& sampling, const std::vector<double>& delaysMs,
                       std::string& note);

}  // namespace framelot

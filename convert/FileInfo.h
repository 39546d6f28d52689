// Describing a file's animation without converting it, for --info.
#pragma once

#include <cstdint>
#include <string>

#include "imaging/AnimationInfo.h"
#include "imaging/ConvertResult.h"

namespace framelot {

// Reads the file and fills `info` by its extension's format. The status and
// reason are those a conversion would give for a file that is not an
// animation, cannot be read or is over a limit; Converted when `info` is filled.
ConvertResult ReadFileInfo(const std::string& path, AnimationInfo& info);

// What decoding a file shows beyond its index, for --info, through the same
// plan and frame chain a conversion takes: with `mergeHeld`, its frames
// merged into runs of equal pixels (a run is one frame, shown for the sum of
// its times, its stored time "A-B held"); and
// `estimatedBytes`, about what its frames take as PNG files (the first
// frame's PNG, encoded in memory, times the frames), as the room check
// estimates it. Decodes the first frame, or every frame when merging.
ConvertResult SurveyFileFrames(const std::string& path, bool mergeHeld, AnimationInfo& info,
                               std::uint64_t& estimatedBytes);

// One file's description as a JSON object, as --info --json prints it:
// {"file", "status", and "reason", or the format, canvas, declared size, loop
// count, damage when there is some, and every frame}. Frames one a line.
// With `estimatedBytes` above 0, "estimated_bytes" too.
std::string FileInfoJson(const std::string& file, const ConvertResult& result, const AnimationInfo& info,
                         std::uint64_t estimatedBytes = 0);

}  // namespace framelot

// Describing a file's animation without converting it, for --info.
#pragma once

#include <string>

#include "imaging/AnimationInfo.h"
#include "imaging/ConvertResult.h"

namespace framelot {

// Reads the file and fills `info` by its extension's format. The status and
// reason are those a conversion would give for a file that is not an
// animation, cannot be read or is over a limit; Converted when `info` is filled.
ConvertResult ReadFileInfo(const std::string& path, AnimationInfo& info);

// One file's description as a JSON object, as --info --json prints it:
// {"file", "status", and "reason", or the format, canvas, declared size, loop
// count, damage when there is some, and every frame}. Frames one a line.
std::string FileInfoJson(const std::string& file, const ConvertResult& result, const AnimationInfo& info);

}  // namespace framelot

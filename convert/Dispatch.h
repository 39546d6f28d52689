// The one entry point the window and the command line share: a dropped file is
// handed to a converter by its extension.
#pragma once

#include <string>
#include <string_view>

#include "convert/FileConversion.h"
#include "convert/SourceFormats.h"
#include "imaging/ConvertResult.h"
#include "output/encoders/FrameWriterPool.h"

namespace framelot {

// The kind of format a path's extension names (SourceKind::None for any
// other), as the table of formats says.
SourceKind KindOfPath(std::string_view path);

// Converts one file as a drop does, with the command line's output options
// (the defaults are a drop on the window: every frame, in a folder named
// after the file). Frames are encoded on `encodeThreads` workers.
ConvertResult ConvertDroppedFile(const std::string& path, const OutputOptions& options = {},
                                 unsigned encodeThreads = DefaultEncodeThreads(), const ProgressFunction& progress = {});

// The window's result text for a count of converted files: "3 file complete!".
std::string ResultText(int convertedCount);

}  // namespace framelot

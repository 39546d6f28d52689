// The one entry point the window and the command line share: a dropped file is
// handed to a converter by its extension.
#pragma once

#include <string>
#include <string_view>

#include "imaging/ConvertResult.h"
#include "imaging/FrameWriterPool.h"

namespace framelot {

enum class SourceKind { Gif, Apng, Webp, None };

// ".gif" goes to the GIF converter, ".png" and ".apng" to the APNG converter,
// ".webp" to the WebP converter, in any ASCII letter case; anything else, or
// no extension, to none.
SourceKind KindOfPath(std::string_view path);

// Converts one file as a drop does. `makeFolder` is the placement switch, read
// once for the whole file. Frames are encoded on `encodeThreads` workers.
ConvertResult ConvertDroppedFile(const std::string& path, bool makeFolder,
                                 unsigned encodeThreads = DefaultEncodeThreads());

// The window's result text for a count of converted files: "3 file complete!".
std::string ResultText(int convertedCount);

}  // namespace framelot

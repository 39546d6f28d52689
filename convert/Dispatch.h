// The one entry point the window and the command line share: a dropped file is
// handed to a converter by its extension.
#pragma once

#include <string>
#include <string_view>

#include "convert/FileConversion.h"
#include "imaging/ConvertResult.h"
#include "output/FrameWriterPool.h"

namespace framelot {

enum class SourceKind { Gif, Apng, Webp, Avif, Jxl, None };

// ".gif" goes to the GIF converter, ".png" and ".apng" to the APNG converter,
// ".webp" to the WebP converter, ".avif" and ".avifs" to the AVIF converter,
// ".jxl" to the JPEG XL converter, in any ASCII letter case; anything else, or
// no extension, to none.
SourceKind KindOfPath(std::string_view path);

// Why a file of another extension is not converted.
inline constexpr const char* NotAnAnimationName = "not a GIF, PNG, APNG, WebP, AVIF or JPEG XL file name";

// The bytes-to-frames function of a kind; null for None.
ConvertBytesFunction ConverterFor(SourceKind kind);

// Converts one file as a drop does. `makeFolder` is the placement switch, read
// once for the whole file. Frames are encoded on `encodeThreads` workers.
ConvertResult ConvertDroppedFile(const std::string& path, bool makeFolder,
                                 unsigned encodeThreads = DefaultEncodeThreads(), const ProgressFunction& progress = {});

// Files with the same key write frames under the same names (anim.gif and
// anim.webp both write anim_0000.png): converted side by side, the skip rule
// would depend on which one got there first.
std::string OutputGroupKey(std::string_view path);

// The window's result text for a count of converted files: "3 file complete!".
std::string ResultText(int convertedCount);

}  // namespace framelot

// The steps every converter takes around its own format's work: the skip test,
// reading the source, making the folder and saving each frame under its name.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "convert/OutputOptions.h"
#include "convert/SourceFormats.h"
#include "imaging/ConvertResult.h"

namespace framelot {

// Told after each frame is written (or found already there, or failed) how many
// of the file's frames are done and how many it has (0 until known). Called
// from the threads that write frames, one call at a time, `done` counting up
// from 1 without a gap.
using ProgressFunction = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Converts `source` with `convert` and writes what `options` asks for: the
// frame files (or one sprite sheet and its atlas), placed and chosen as the
// options say, never over an existing file.
//
// Frames are encoded and written by `encodeThreads` workers while the next ones
// are composed (0: on the calling thread). The folders are made when the
// first chosen frame is ready; when one cannot be, the converter is stopped
// there and the file fails with the folder's reason, having written nothing.
// The converter stops after the last chosen frame. `describe` (the format's
// describer) is read first, and only, when the declared canvas or a sheet is
// asked for; a file it does not take fails with its reason.
//
// With chosen frames, a file that has none of them fails with FailureKind::Usage;
// one that lacks some says which in the result's Note. A sheet whose pixels
// would pass MaxCanvasPixels is refused before any frame is decoded. A sheet
// is held whole until every frame is in it, then encoded on the calling thread.
ConvertResult ConvertFileWith(const std::string& source, const OutputOptions& options, ConvertBytesFunction convert,
                              DescribeBytesFunction describe, unsigned encodeThreads,
                              const ProgressFunction& progress = {});

// Every frame of `source`, placed by the switch alone.
ConvertResult ConvertFileWith(const std::string& source, bool makeFolder, ConvertBytesFunction convert,
                              unsigned encodeThreads, const ProgressFunction& progress = {});

}  // namespace framelot

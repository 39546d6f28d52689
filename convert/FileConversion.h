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
// frame files (or one sprite sheet and its atlas, or one array), placed and
// chosen as the options say, never over an existing file.
//
// What the file writes is settled first, in its OutputPlan, before a frame
// is decoded: the skip test, the limits of the size and format asked for and
// the names are the plan's. `describe` (the format's describer) is read
// when the plan needs the file's frames, times or canvas; a file it does not
// take fails with its reason. Frames then go through the FrameChain to the
// plan's sink; frame files are encoded and written by `encodeThreads`
// workers while the next ones are composed (0: on the calling thread). The
// folders are made when the first frame is ready. The converter stops after
// the last chosen frame, or when the sink can take no more.
//
// A file that fails, for any reason, keeps nothing this run made of it: its
// files and the folders it made (innermost first, only while empty) are
// taken back, so that a retry converts it; what was there before stays.
// With chosen frames, a file that has none of them fails with
// FailureKind::Usage (FailureKind::Damaged, saying where, when it is
// damaged before them); one that lacks some says which in the result's
// Note. A sheet or an array is held whole until every frame is in it, then
// written on the calling thread.
ConvertResult ConvertFileWith(const std::string& source, const OutputOptions& options, ConvertBytesFunction convert,
                              DescribeBytesFunction describe, unsigned encodeThreads,
                              const ProgressFunction& progress = {});

// The result of a file that delivered none of the frames `list` chooses
// (`decoded` is the converter's, `announced` its frame count): damaged, when
// damage took them, else a usage error naming the frames past the end.
ConvertResult NoChosenFrame(const ConvertResult& decoded, const FrameList& list, std::uint64_t announced);

}  // namespace framelot

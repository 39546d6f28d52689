// The steps every converter takes around its own format's work: the skip test,
// reading the source, making the folder and saving each frame under its name.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "imaging/ConvertResult.h"

namespace framelot {

// Told after each frame is written (or found already there, or failed) how many
// of the file's frames are done and how many it has (0 until known). Called
// from the threads that write frames, one call at a time, `done` counting up
// from 1 without a gap.
using ProgressFunction = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Frames are encoded and written by `encodeThreads` workers while the next ones
// are composed (0: on the calling thread). The frames' folder is made when the
// first frame is ready; when it cannot be, the converter is stopped there and
// the file fails with the folder's reason, having written nothing.
ConvertResult ConvertFileWith(const std::string& source, bool makeFolder, ConvertBytesFunction convert,
                              unsigned encodeThreads, const ProgressFunction& progress = {});

}  // namespace framelot

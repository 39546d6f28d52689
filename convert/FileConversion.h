// The steps every converter takes around its own format's work: the skip test,
// reading the source, making the folder and saving each frame under its name.
#pragma once

#include <string>

#include "imaging/ConvertResult.h"

namespace framelot {

// Frames are encoded and written by `encodeThreads` workers while the next ones
// are composed (0: on the calling thread).
ConvertResult ConvertFileWith(const std::string& source, bool makeFolder, ConvertBytesFunction convert,
                              unsigned encodeThreads);

}  // namespace framelot

// Writing a bitmap as a new PNG file.
#pragma once

#include <string>

#include "imaging/Bitmap.h"
#include "output/NewFile.h"

namespace framelot {

// Encodes and writes the bitmap to `path` without ever replacing or changing
// anything that exists there; the file appears whole or not at all.
SaveOutcome SavePng(const Bitmap& bitmap, const std::string& path);

}  // namespace framelot

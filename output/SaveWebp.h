// Writing a bitmap as a new WebP file (--format webp): lossless by default,
// every pixel kept exactly (the colour under transparent pixels too), or
// lossy at a quality from 0 to 100.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "output/NewFile.h"

namespace framelot {

// Lossless when `quality` is below 0. `encoded` works as SavePng's does: a
// bitmap saved under several names is encoded once. Any thread; costs one
// libwebp encoding (lossless at its default effort, or lossy at `quality`).
SaveOutcome SaveWebp(const Bitmap& bitmap, const std::string& path, std::vector<std::uint8_t>& encoded, int quality);

}  // namespace framelot

// Writing a bitmap as a new PNG file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "output/encoders/PngEncode.h"
#include "output/files/NewFile.h"

namespace framelot {

// Encodes and writes the bitmap to `path` without ever replacing or changing
// anything that exists there; the file appears whole or not at all.
// `encoded` holds the bitmap's PNG once it has been encoded: empty, it is
// encoded into it (unless the path is taken); filled, it is written as it is,
// so a bitmap saved under several names is encoded once. Encodes with
// `encoder`, which belongs to the calling thread.
SaveOutcome SavePng(const Bitmap& bitmap, const std::string& path, std::vector<std::uint8_t>& encoded,
                    PngEncoder& encoder);
// The same, encoding by `plan` instead of the frame's fixed plan.
SaveOutcome SavePng(const Bitmap& bitmap, const std::string& path, std::vector<std::uint8_t>& encoded,
                    PngEncoder& encoder, const PngPlan& plan);

}  // namespace framelot

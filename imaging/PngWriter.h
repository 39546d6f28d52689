// Writing a bitmap as an 8-bit RGBA PNG file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"

namespace framelot {

enum class SaveStatus { Written, AlreadyExists, Failed };

struct SaveOutcome {
    SaveStatus Status = SaveStatus::Failed;
    std::string Reason;  // why it failed, in words a user understands
};

// Encodes the bitmap as a PNG of colour type 6 (RGBA, 8 bits a sample), upright,
// whose pixels are the bitmap's bytes exactly. Appends to `out`. False only if
// the encoder fails.
bool EncodePng(const Bitmap& bitmap, std::vector<std::uint8_t>& out);

// Encodes and writes the bitmap to `path` without ever replacing or changing
// anything that exists there; the file appears whole or not at all.
SaveOutcome SavePng(const Bitmap& bitmap, const std::string& path);

}  // namespace framelot

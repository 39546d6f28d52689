// Rebuilding one APNG frame as a stand-alone PNG: the signature, a header with
// the frame's own size, the first PLTE and tRNS chunks, the frame's data as
// IDAT chunks (fdAT turned into IDAT with a fresh CRC), and IEND.
#pragma once

#include <cstdint>
#include <vector>

#include "apng/ApngWalk.h"

namespace framelot {

// CRC-32 of the PNG format (reflected polynomial 0xEDB88320, preset and final
// complement) over `bytes`.
std::uint32_t PngCrc32(std::span<const std::uint8_t> bytes);

// Writes the stand-alone PNG of `frame` into `out` (replacing its content).
// The frame's IDAT chunks are taken only when its data is the IDAT image;
// fdAT chunks always.
void BuildFramePng(PngBytes png, const ApngIndex& index, const ApngFrameRecord& frame,
                   std::vector<std::uint8_t>& out);

}  // namespace framelot

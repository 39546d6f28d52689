// Rebuilding one APNG frame as a stand-alone PNG: the signature, a header with
// the frame's own size, every PLTE and tRNS chunk, the frame's data as IDAT
// chunks (fdAT turned into IDAT with a fresh CRC), and IEND.
#pragma once

#include <cstdint>
#include <vector>

#include "apng/ApngWalk.h"

namespace framelot {

// CRC-32 of the PNG format (reflected polynomial 0xEDB88320, preset and final
// complement) over `bytes`.
std::uint32_t PngCrc32(std::span<const std::uint8_t> bytes);

// Writes the stand-alone PNG of `frame` into `out` (replacing its content).
// IDAT chunks are taken only when the frame code is negative; fdAT chunks always.
void BuildFramePngFromRecord(PngBytes png, const ApngIndex& index, const ApngFrameRecord& frame, int code,
                             std::vector<std::uint8_t>& out);

// The stand-alone PNG of frame k, given the code GetApngFrameInfo reported for
// it. Returns its length; 0 (an empty result) when the file has no frame k.
std::size_t BuildFramePng(PngBytes png, int k, int code, std::vector<std::uint8_t>& out);

}  // namespace framelot

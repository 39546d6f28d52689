// Read-only walk over the chunks of a PNG file held whole in memory. The walk
// ends at IEND or at the first chunk that does not lie inside the file, has a
// length above 2^31 - 1, or is an fcTL shorter than 26 bytes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "imaging/Bitmap.h"

namespace framelot {

using PngBytes = std::span<const std::uint8_t>;

// A chunk's data: where it starts in the file and how long it is.
struct ChunkRef {
    std::size_t Offset = 0;
    std::uint32_t Length = 0;
    bool IsFdat = false;  // fdAT (data after a 4-byte sequence number) or IDAT
};

// One frame, as its fcTL describes it.
struct ApngFrameRecord {
    Rect Bounds;
    std::uint32_t Width = 0, Height = 0;  // the fcTL's unsigned size fields
    std::size_t FctlOffset = 0;           // start of the fcTL's data
    int Code = 0;                         // packed dispose and blend, see ApngFrameCode
    std::vector<ChunkRef> Data;           // IDAT and fdAT chunks after the fcTL
};

struct ApngIndex {
    bool IsPng = false;
    std::int32_t Count = 0;          // num_frames of the last acTL before IEND
    std::uint32_t ImageWidth = 0, ImageHeight = 0;  // from IHDR
    std::vector<ChunkRef> Carried;   // the first PLTE and the first tRNS, in file order
    std::vector<ApngFrameRecord> Frames;
};

// One pass over the chunks. At most `maxFrames` frame records are kept.
ApngIndex IndexApng(PngBytes png, std::size_t maxFrames);

// The frame code packs dispose and blend into one integer: magnitude =
// dispose_op + 1 (dispose previous on frame 0 counting as background), plus 8
// for blend over; negative when the frame's data is the IDAT data (its fcTL
// stands before the first IDAT).
int ApngFrameCode(std::uint8_t disposeOp, std::uint8_t blendOp, std::size_t frameIndex, bool beforeFirstIdat);

enum class ApngDispose { None, Background, Previous };

struct ApngOperations {
    bool BlendOver = false;
    ApngDispose Dispose = ApngDispose::None;
};

// How a frame code is read back: blend over for magnitudes 8 and up; the
// dispose value is the magnitude less 8 when above 8; 2 means background, 3
// previous, anything else none.
ApngOperations ReadApngFrameCode(int code);

// The frame count, and frame k's rectangle and code when it has an fcTL (left
// as they were otherwise). 0 for a file that is not a PNG.
std::int32_t GetApngFrameInfo(PngBytes png, int k, Rect& bounds, int& code);

}  // namespace framelot

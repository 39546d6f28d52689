// Read-only walk over the chunks of a PNG file held whole in memory. The walk
// ends at IEND or at the first chunk that does not lie inside the file, has a
// length above 2^31 - 1, or is an fcTL shorter than 26 bytes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/ConvertResult.h"
#include "imaging/FrameMethods.h"

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
    DisposeMethod Dispose = DisposeMethod::None;  // a dispose_op outside the three values reads as None
    BlendMethod Blend = BlendMethod::Source;  // blend_op 1 is Over; any other value is Source
    bool DataInIdat = false;  // the fcTL stands before the first IDAT: the IDAT image is this frame
    std::uint16_t DelayNumerator = 0, DelayDenominator = 0;  // seconds, as stored (a denominator of 0 means 100)
    std::vector<ChunkRef> Data;  // IDAT and fdAT chunks after the fcTL
};

struct ApngIndex {
    bool IsPng = false;
    bool CutHeader = false;  // the PNG signature, then the file ends before IHDR does
    std::int32_t Count = 0;                         // num_frames of the last acTL before IEND
    std::uint32_t Plays = 0;                        // num_plays of that acTL: 0 means forever
    std::uint32_t ImageWidth = 0, ImageHeight = 0;  // from IHDR
    std::vector<ChunkRef> Carried;                  // the first PLTE and the first tRNS, in file order
    std::vector<ApngFrameRecord> Frames;
    bool ReachedIend = false;  // the walk ended at IEND, not at a chunk cut short or out of bounds
    std::size_t StoppedAt = 0;  // where the walk ended
};

// Every chunk: length and type (4 bytes each), data, CRC (4 bytes). A chunk's
// head (length and type) stands ChunkHeadBytes before its data.
inline constexpr std::size_t ChunkLengthBytes = 4;
inline constexpr std::size_t ChunkTypeBytes = 4;
inline constexpr std::size_t ChunkHeadBytes = ChunkLengthBytes + ChunkTypeBytes;
inline constexpr std::size_t CrcBytes = 4;
inline constexpr std::size_t ChunkOverhead = ChunkHeadBytes + CrcBytes;

// fdAT data: a sequence number, then the image data.
inline constexpr std::uint32_t SequenceBytes = 4;

// The signature and the IHDR chunk: the smallest PNG worth walking.
inline constexpr std::size_t PngSignatureBytes = 8;
inline constexpr std::size_t IhdrDataOffset = 16;   // after the signature, IHDR's length and type
inline constexpr std::size_t IhdrSizeBytes = 8;     // width and height
inline constexpr std::size_t IhdrFormatBytes = 5;   // bit depth, colour type, compression, filter, interlace
inline constexpr std::size_t PngHeaderEnd = 33;     // after IHDR's CRC

// One pass over the chunks. At most `maxFrames` frame records are kept.
ApngIndex IndexApng(PngBytes png, std::size_t maxFrames);

// Converted when the index is of an animation within the limits (frames past
// the last fcTL counted); otherwise why not. An animation whose second frame
// is lost to a file cut short is Damaged, not a still.
ConvertResult CheckApngAnimation(const ApngIndex& index);

// What of an indexed animation is missing, as ConvertResult::Damage says:
// the chunks after a point where the walk had to stop, the frames acTL
// announces that have no fcTL, and frames whose fcTL has no image data. Empty
// for a whole file.
std::string ApngDamage(const ApngIndex& index);

// True for a frame the index has a record for but no image data.
bool ApngFrameHasNoData(const ApngIndex& index, std::size_t frame);

}  // namespace framelot

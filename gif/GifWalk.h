// Read-only walks over a GIF stream held whole in memory. No walk reads outside
// the buffer: a block, table or sub-block chain that runs past the end ends the
// stream there, as does any byte other than an image or extension introducer.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/ConvertResult.h"
#include "imaging/FrameMethods.h"

namespace framelot {

using GifBytes = std::span<const std::uint8_t>;

enum class GifBlockKind { Image, Control, OtherExtension, End };

// One block of the stream: its kind, and where the next block starts (for an
// image, the offset after its data chain's 0 byte).
struct GifBlock {
    GifBlockKind Kind = GifBlockKind::End;
    std::size_t Next = 0;
};

// Steps over the block at `offset`. This is the one stepping rule: every walk
// and the rebuild use it.
GifBlock StepGifBlock(GifBytes gif, std::size_t offset);

// True when the buffer holds the 13-byte header and starts with "GIF".
bool HasGifSignature(GifBytes gif);

// Offset of the first block: after the header and the global colour table.
std::uint32_t GifBlocksOffset(GifBytes gif);

// Colour value (red in the low byte) of the background colour index, looked up
// in the first image's local table if it has one, else in the global table.
// An index beyond its table, or no table at all, gives 0.
Colour GifBackgroundColour(GifBytes gif, std::uint32_t blocksOffset);

// Everything the converter needs of one frame, found in a single pass.
struct GifFrameRecord {
    std::size_t ControlsBegin = 0;  // after the previous image (or at the blocks offset)
    std::size_t ImageBegin = 0;
    std::size_t ImageEnd = 0;
    DisposeMethod Disposal = DisposeMethod::None;  // of the last control extension before the image
    Rect Bounds;
    std::uint16_t Delay = 0;  // hundredths of a second, from the frame's own control extension (0 without one)
};

// One pass over the stream, at most `maxFrames` records (the walk stops there).
// A frame without its own control extension inherits the disposal method of
// the last one before it; None when there is none. `stoppedAt`, when given, is
// where the walk stopped: at the trailer, at the end of the data, or at a
// block that is cut short or of no kind GIF has.
std::vector<GifFrameRecord> IndexGifFrames(GifBytes gif, std::uint32_t blocksOffset, std::size_t maxFrames,
                                           std::size_t* stoppedAt = nullptr);

// A GIF's frames as the converter takes them, and the canvas they end on.
struct GifAnimation {
    std::uint32_t BlocksOffset = 0;
    std::vector<GifFrameRecord> Frames;
    std::int64_t Right = 0, Bottom = 0;  // the farthest frame edges: the canvas's last size
    std::string Damage;                  // where the stream ends early, as ConvertResult::Damage says
};

// Walks the file once. Converted when it is an animation within the limits;
// otherwise why not, before anything is allocated for its pixels. A stream
// that does not end at its trailer (cut short, or broken by a byte that starts
// no block) is still an animation of the frames before that point, with
// Damage saying where it ends.
ConvertResult IndexGifAnimation(GifBytes gif, GifAnimation& animation, std::size_t fewestFrames = 2);

// The rectangle of the image whose descriptor starts at `offset`, each field
// widened from 16 bits unsigned.
Rect GifImageBounds(GifBytes gif, std::size_t offset);

// The loop count of the NETSCAPE2.0 (or ANIMEXTS1.0) application extension
// before the first image: 0 means forever. Nothing when there is none.
std::optional<std::uint16_t> GifLoopCount(GifBytes gif, std::uint32_t blocksOffset);

// The disposal method in a control extension at `offset`: bits 2-3 of its
// flags, whose values are those of DisposeMethod (the field's third bit is not
// read, so 4-7 count as 0-3).
DisposeMethod GifControlDisposal(GifBytes gif, std::size_t offset);

}  // namespace framelot

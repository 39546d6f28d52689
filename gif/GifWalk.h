// Read-only walks over a GIF stream held whole in memory. No walk reads outside
// the buffer: a block, table or sub-block chain that runs past the end ends the
// stream there, as does any byte other than an image or extension introducer.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "imaging/Bitmap.h"

namespace framelot {

using GifBytes = std::span<const std::uint8_t>;

enum class GifBlockKind { Image, Control, OtherExtension, End };

// One block of the stream: its kind, where it starts, and where the next block
// starts. For an image, DataEnd is the offset after its chain's 0 byte.
struct GifBlock {
    GifBlockKind Kind = GifBlockKind::End;
    std::size_t Begin = 0;
    std::size_t Next = 0;
};

// Steps over the block at `offset`. This is the one stepping rule: every walk
// and the rebuild use it.
GifBlock StepGifBlock(GifBytes gif, std::size_t offset);

// True when the buffer holds the 13-byte header and starts with "GIF".
bool HasGifSignature(GifBytes gif);

// Offset of the first block: after the header and the global colour table.
std::uint32_t GifBlocksOffset(GifBytes gif);

// Number of images in the stream.
int CountGifFrames(GifBytes gif, std::uint32_t blocksOffset);

struct GifFrameInfo {
    bool Found = false;
    int Disposal = 0;  // 0 none, 1 keep, 2 restore background, 3 restore previous
    Rect Bounds;
};

// Disposal method and rectangle of image `index` (0-based, stream order). The
// disposal method is that of the last control extension at or before the image,
// so a frame without its own extension inherits it; 0 when there is none.
GifFrameInfo FindGifFrame(GifBytes gif, std::uint32_t blocksOffset, int index);

// Colour value (red in the low byte) of the background colour index, looked up
// in the first image's local table if it has one, else in the global table.
// An index beyond its table, or no table at all, gives 0.
Colour GifBackgroundColour(GifBytes gif, std::uint32_t blocksOffset);

// Everything the converter needs of one frame, found in a single pass.
struct GifFrameRecord {
    std::size_t ControlsBegin = 0;  // after the previous image (or at the blocks offset)
    std::size_t ImageBegin = 0;
    std::size_t ImageEnd = 0;
    int Disposal = 0;
    Rect Bounds;
};

// One pass over the stream, at most `maxFrames` records (the walk stops there).
std::vector<GifFrameRecord> IndexGifFrames(GifBytes gif, std::uint32_t blocksOffset, std::size_t maxFrames);

// The rectangle of the image whose descriptor starts at `offset`, each field
// widened from 16 bits unsigned.
Rect GifImageBounds(GifBytes gif, std::size_t offset);

// The disposal method in a control extension at `offset`.
int GifControlDisposal(GifBytes gif, std::size_t offset);

}  // namespace framelot

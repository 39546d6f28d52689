// Rebuilding one frame of a GIF as a stand-alone one-image GIF: the source's
// header and global colour table, the frame's own control extensions and its
// image, byte for byte, and a trailer. Nothing is decoded or re-encoded.
#pragma once

#include <cstdint>
#include <vector>

#include "gif/GifWalk.h"

namespace framelot {

// Appends to `out` (which the caller has cleared or not) the stand-alone GIF of
// the frame that `record` describes. The output grows as needed.
void AppendGifFrame(GifBytes gif, std::uint32_t blocksOffset, const GifFrameRecord& record,
                    std::vector<std::uint8_t>& out);

}  // namespace framelot

// Drawing GIF frames onto the canvas by the GIF disposal methods.
#pragma once

#include "gif/GifDecode.h"
#include "gif/GifWalk.h"
#include "imaging/Bitmap.h"

namespace framelot {

// What a cleared rectangle holds: alpha 0 under white colour bytes.
inline constexpr Colour TransparentWhite = 0xFFFFFF;

struct GifComposer {
    Bitmap Canvas;  // the composition so far; what the next frame is drawn on
    Colour FillColour = TransparentWhite;  // what the canvas holds before frame 0
    Bitmap Saved;        // what lay under a restore-to-previous frame
    Rect SavedRect;
};

GifComposer StartGifComposer(GifBytes gif, std::uint32_t blocksOffset, const GifFrameRecord& first);

// Draws frame `index` (its decoded indices, or null when it could not be
// decoded) onto the canvas straight from its indices: a GIF pixel is opaque
// or transparent, so an opaque index's colour replaces the canvas pixel and
// the transparent index leaves it, with no blending. Afterwards the canvas
// is that frame's output. Costs one pass over the frame's pixels.
void ComposeGifFrame(GifComposer& composer, const GifIndexedImage* frame, const GifFrameRecord& record,
                     std::size_t index);

// Applies the frame's disposal method to the canvas the next frame is drawn on.
void DisposeGifFrame(GifComposer& composer, const GifFrameRecord& record, std::size_t index);

}  // namespace framelot

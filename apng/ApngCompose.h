// Drawing APNG frames onto the canvas by the APNG dispose and blend operations.
#pragma once

#include "apng/ApngWalk.h"
#include "imaging/Bitmap.h"

namespace framelot {

struct ApngComposer {
    Bitmap Canvas;  // premultiplied; what the next frame is drawn on
    Bitmap Output;  // the last composed frame, straight alpha
    Bitmap Saved;   // what lay under a dispose-previous frame
    Rect SavedRect;
};

// A transparent canvas of frame 0's size.
ApngComposer StartApngComposer(int width, int height);

// Draws frame `index` (its decoded straight-alpha bitmap, or null when it
// could not be decoded) at `record`'s rectangle by its blend operation.
// Afterwards composer.Output is that frame's output. `frame` is premultiplied
// in place.
void ComposeApngFrame(ApngComposer& composer, Bitmap* frame, const ApngFrameRecord& record, std::size_t index);

// Applies the frame's dispose operation to the canvas the next frame is drawn on.
void DisposeApngFrame(ApngComposer& composer, const ApngFrameRecord& record, std::size_t index);

}  // namespace framelot

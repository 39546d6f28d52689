// The APNG compositing rules, as the converter applies them:
//
//  A1 Frames are numbered by fcTL order; the default image is frame 0 only
//     when its fcTL stands before the first IDAT.
//  A2 The canvas is frame 0's size (the first fcTL's width and height) for the
//     whole animation; later frames are clipped to it.
//  A3 Blend source replaces the frame's rectangle, alpha included; blend over
//     draws source-over on the premultiplied canvas.
//  A4 Each output shows the canvas after its frame is drawn, before its own
//     dispose operation, converted back to straight alpha.
//  A5 Dispose background clears the rectangle to transparent black; dispose
//     previous puts back what lay there before the frame; on frame 0 dispose
//     previous acts as background.
//  A6 A frame that cannot be decoded (or has no fcTL, when acTL announces more
//     frames than there are) draws nothing but still applies its dispose
//     operation, and its output is still written. When frame 0 cannot be
//     decoded there is no canvas and the file fails.
//  A7 A dispose_op or blend_op outside the format's values reads as the
//     default: dispose none, blend source.
#include "apng/ApngCompose.h"

#include "imaging/Alpha.h"
#include "imaging/Raster.h"

namespace framelot {

ApngComposer StartApngComposer(int width, int height)
{
    ApngComposer composer;
    composer.Canvas = MakeBitmap(width, height);  // A2
    return composer;
}

void ComposeApngFrame(ApngComposer& composer, Bitmap* frame, const ApngFrameRecord& record, std::size_t index)
{
    Bitmap& canvas = composer.Canvas;
    const Rect& r = record.Bounds;
    if (EffectiveDispose(record.Dispose, index) == DisposeMethod::Previous) {
        SaveRegion(canvas, r, composer.Saved, composer.SavedRect);
    }
    if (frame != nullptr) {  // A3
        PremultiplyAlpha(*frame);
        if (record.Blend == BlendMethod::Over) {
            BlendBlock(canvas, r.Left, r.Top, *frame, frame->Width, frame->Height);
        } else {
            CopyBlock(canvas, r.Left, r.Top, *frame, frame->Width, frame->Height);
        }
    }
    composer.Output = canvas;  // A4
    UnpremultiplyAlpha(composer.Output);
}

void DisposeApngFrame(ApngComposer& composer, const ApngFrameRecord& record, std::size_t index)
{
    switch (EffectiveDispose(record.Dispose, index)) {  // A5
    case DisposeMethod::Background: FillRect(composer.Canvas, record.Bounds, 0); break;
    case DisposeMethod::Previous: RestoreRegion(composer.Canvas, composer.Saved, composer.SavedRect); break;
    case DisposeMethod::None:
    case DisposeMethod::Keep: break;
    }
}

}  // namespace framelot

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

ApngDispose EffectiveApngDispose(const ApngFrameRecord& frame, std::size_t index)
{
    if (index == 0 && frame.Dispose == ApngDispose::Previous) return ApngDispose::Background;  // A5
    return frame.Dispose;
}

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
    if (EffectiveApngDispose(record, index) == ApngDispose::Previous) {
        SaveRegion(canvas, r, composer.Saved, composer.SavedRect);
    }
    if (frame != nullptr) {  // A3
        PremultiplyAlpha(*frame);
        if (record.BlendOver) {
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
    switch (EffectiveApngDispose(record, index)) {  // A5
    case ApngDispose::Background: FillRect(composer.Canvas, record.Bounds, 0); break;
    case ApngDispose::Previous: RestoreRegion(composer.Canvas, composer.Saved, composer.SavedRect); break;
    case ApngDispose::None: break;
    }
}

}  // namespace framelot

// The GIF compositing rules, as the converter applies them:
//
//  G1 The canvas starts at the first frame's size and grows, keeping its origin,
//     to the farthest right and bottom frame edge seen so far; it never shrinks.
//     The logical screen size is not used. New area is transparent black.
//  G2 Before frame 0 the whole canvas is filled with alpha 0 (colour from the
//     background colour when frame 0 restores to background); frame 0 is copied
//     with all four bytes, so its transparent pixels are all-zero.
//  G3 Later frames are blended source-over: opaque pixels replace the canvas
//     pixel, transparent ones leave it.
//  G4 Each output shows the canvas after its frame is drawn and before that
//     frame's own disposal.
//  G5 Disposal: 0 and 1 keep the canvas; 2 clears the frame's rectangle to
//     alpha 0; 3 puts back what lay under the frame's rectangle before it was
//     drawn.
//  G6 A frame without its own control extension inherits the disposal method of
//     the last one before it (see FindGifFrame).
//  G7 Restore-to-previous on frame 0 acts as restore-to-background: nothing
//     precedes the first frame, so frame 1 is drawn on an empty canvas.
//  G8 A frame that cannot be decoded draws nothing; its output is still
//     written, so numbering stays by stream index.
#include "gif/GifCompose.h"

#include <algorithm>
#include <cstring>

#include "imaging/Raster.h"

namespace framelot {
namespace {

// Draws `image` with its top left at (left, top), clipped to the canvas:
// every index (G2), or only the opaque ones (G3).
void DrawIndices(Bitmap& canvas, int left, int top, const GifIndexedImage& image, bool opaqueOnly)
{
    const int x0 = std::max(left, 0), y0 = std::max(top, 0);
    const int x1 = std::min(canvas.Width, left + image.Width), y1 = std::min(canvas.Height, top + image.Height);
    if (x0 >= x1 || y0 >= y1) return;
    const int skip = opaqueOnly ? image.Transparent : -1;
    for (int y = y0; y < y1; ++y) {
        const std::uint8_t* in = image.Indices.data() + static_cast<std::size_t>(y - top) * image.Width + (x0 - left);
        std::uint8_t* out = canvas.Pixels.data() + (static_cast<std::size_t>(y) * canvas.Width + x0) * 4;
        for (int x = x0; x < x1; ++x, ++in, out += 4) {
            if (*in != skip) std::memcpy(out, image.Colours[*in].data(), 4);
        }
    }
}

}  // namespace

GifComposer StartGifComposer(GifBytes gif, std::uint32_t blocksOffset, const GifFrameRecord& first)
{
    GifComposer composer;
    composer.Canvas = MakeBitmap(first.Bounds.Width, first.Bounds.Height);  // G1
    if (EffectiveDispose(first.Disposal, 0) == DisposeMethod::Background) {
        composer.FillColour = GifBackgroundColour(gif, blocksOffset);
    }
    return composer;
}

void ComposeGifFrame(GifComposer& composer, const GifIndexedImage* frame, const GifFrameRecord& record,
                     std::size_t index)
{
    const Rect& r = record.Bounds;
    Bitmap& canvas = composer.Canvas;
    GrowBitmap(canvas, std::max(canvas.Width, r.Left + r.Width), std::max(canvas.Height, r.Top + r.Height));  // G1

    if (EffectiveDispose(record.Disposal, index) == DisposeMethod::Previous) SaveRegion(canvas, r, composer.Saved, composer.SavedRect);
    if (index == 0) {  // G2
        FillRect(canvas, Rect{0, 0, canvas.Width, canvas.Height}, composer.FillColour);
        if (frame != nullptr) DrawIndices(canvas, r.Left, r.Top, *frame, false);
    } else if (frame != nullptr) {  // G3
        DrawIndices(canvas, r.Left, r.Top, *frame, true);
    }
}

void DisposeGifFrame(GifComposer& composer, const GifFrameRecord& record, std::size_t index)
{
    switch (EffectiveDispose(record.Disposal, index)) {  // G5
    case DisposeMethod::Background: FillRect(composer.Canvas, record.Bounds, TransparentWhite); break;
    case DisposeMethod::Previous: RestoreRegion(composer.Canvas, composer.Saved, composer.SavedRect); break;
    case DisposeMethod::None:
    case DisposeMethod::Keep: break;
    }
}

}  // namespace framelot

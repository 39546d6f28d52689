// The WebP compositing rules, as the converter applies them:
//
//  W1 The first canvas is the extent from the origin of frame 2 (frame 1 when
//     there is only one); it grows, keeping its origin, to the farthest right
//     and bottom frame edge seen so far and never shrinks. The canvas size in
//     the file's header is not used.
//  W2 Frame 1 clears the whole canvas first.
//  W3 A no-blend frame clears its rectangle before it is drawn.
//  W4 Dispose to background shows from the next frame on: the frame's rectangle
//     is cleared before the next frame is drawn.
//  W5 Frames with alpha are blended source-over; frames without alpha replace
//     their rectangle, all four bytes.
//  W6 The canvas holds straight colour and cleared pixels are transparent
//     black, so a semi-transparent pixel keeps its own colour, however faint;
//     in the saved frame every pixel with alpha 0 carries the background
//     colour's red, green and blue.
//  W7 A frame that cannot be decoded draws nothing; its output is still written.
#include "webp/WebpCompose.h"

#include <algorithm>
#include <cstring>

#include "imaging/Raster.h"

namespace framelot {

void GrowWebpCanvas(WebpComposer& composer, const Rect& bounds)
{
    GrowBitmap(composer.Canvas, std::max(composer.Canvas.Width, bounds.Left + bounds.Width),
               std::max(composer.Canvas.Height, bounds.Top + bounds.Height));
}

void ComposeWebpFrame(WebpComposer& composer, const Bitmap* frame, const WebpFrameHeader& header, std::size_t index)
{
    Bitmap& canvas = composer.Canvas;
    const Rect& r = header.Bounds;
    if (index == 0) FillRect(canvas, Rect{0, 0, canvas.Width, canvas.Height}, 0);  // W2
    if (header.NoBlend) FillRect(canvas, r, 0);                                     // W3
    if (composer.PreviousDispose) FillRect(canvas, composer.PreviousRect, 0);       // W4
    if (frame != nullptr) {                                                         // W5
        if (header.HasAlpha) {
            BlendBlockStraight(canvas, r.Left, r.Top, *frame, r.Width, r.Height);
        } else {
            CopyBlock(canvas, r.Left, r.Top, *frame, r.Width, r.Height);
        }
    }
    composer.PreviousDispose = header.DisposeBackground;
    composer.PreviousRect = r;
}

void FinishWebpOutput(const WebpComposer& composer, Bitmap& output)
{
    output = composer.Canvas;
    const std::uint8_t fill[3] = {static_cast<std::uint8_t>(composer.FillColour),
                                  static_cast<std::uint8_t>(composer.FillColour >> 8),
                                  static_cast<std::uint8_t>(composer.FillColour >> 16)};
    if ((fill[0] | fill[1] | fill[2]) == 0) return;  // W6: already transparent black
    std::uint8_t* p = output.Pixels.data();
    for (std::size_t i = 0, n = output.Pixels.size() / 4; i < n; ++i, p += 4) {
        if (p[3] == 0) std::memcpy(p, fill, 3);
    }
}

}  // namespace framelot

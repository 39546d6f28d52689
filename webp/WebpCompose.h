// Drawing WebP frames onto the canvas by the WebP dispose and blend methods.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/Bitmap.h"

namespace framelot {

struct WebpFrameHeader {
    std::span<const std::uint8_t> Data;  // the frame's bitstream, inside the file's bytes
    Rect Bounds;
    bool DisposeBackground = false;
    bool NoBlend = false;
    bool HasAlpha = false;
    int Duration = 0;  // display time, milliseconds
};

// State of one file's composition.
struct WebpComposer {
    Bitmap Canvas;  // straight colour; cleared areas are transparent black
    Colour FillColour = 0;  // the ANIM background colour (red in the low byte)
    bool PreviousDispose = false;
    Rect PreviousRect;
};

// Enlarges the canvas to cover `bounds` (never shrinks it), keeping the
// composition so far at the origin.
void GrowWebpCanvas(WebpComposer& composer, const Rect& bounds);

// Draws one frame (straight alpha, or null when it could not be decoded) as
// output `index`.
void ComposeWebpFrame(WebpComposer& composer, const Bitmap* frame, const WebpFrameHeader& header, std::size_t index);

// The canvas as a saved frame: every pixel with alpha 0
// carrying the background colour's red, green and blue.
void FinishWebpOutput(const WebpComposer& composer, Bitmap& output);

}  // namespace framelot

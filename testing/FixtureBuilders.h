// Small animations made in code, so each test says exactly what it pins.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace framelot::test {

using Bytes = std::vector<std::uint8_t>;
using Rgb = std::array<std::uint8_t, 3>;

// ---- GIF, coded with giflib's encoder ----
struct GifFrameSpec {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    std::vector<std::uint8_t> Indices;  // Width * Height palette indices, rows top-down
    int Disposal = -1;                  // -1: no graphic control extension
    int Transparent = -1;               // transparent index, -1 for none
    bool Interlace = false;
    std::vector<Rgb> LocalPalette;      // empty: use the global one
    bool CommentBefore = false;         // a comment extension right before the image
    int Delay = 0;                      // hundredths of a second, in the control extension
};

struct GifSpec {
    int ScreenWidth = 0, ScreenHeight = 0;
    std::vector<Rgb> Palette;  // global colour table; empty: none
    int Background = 0;
    bool Version87a = false;
    bool LoopExtension = true;
    int Loops = 0;  // the loop extension's count: 0 forever
    std::vector<GifFrameSpec> Frames;
};

Bytes BuildGif(const GifSpec& fixture);

// A full frame of one colour index.
GifFrameSpec SolidGifFrame(int left, int top, int width, int height, std::uint8_t index, int disposal = 1);

// The usual four-colour palette: 0 black, 1 red, 2 green, 3 blue.
std::vector<Rgb> FourColours();

// A 2 x 1 GIF of two frames: red, then its right pixel green.
Bytes TwoFrameGif();

// ---- APNG, written chunk by chunk with zlib ----
struct ApngFrameSpec {
    std::uint32_t Width = 0, Height = 0, X = 0, Y = 0;
    std::uint8_t Dispose = 0, Blend = 0;
    Bytes Pixels;
    std::uint16_t DelayNumerator = 1, DelayDenominator = 10;  // raw samples, rows top-down (4 bytes RGBA, or 1 byte palette index)
};

struct ApngSpec {
    std::uint32_t Width = 0, Height = 0;
    std::uint8_t ColourType = 6;  // 6 RGBA, or 3 palette
    Bytes Palette;                // PLTE data, for colour type 3
    Bytes Transparency;           // tRNS data, for colour type 3
    bool DefaultImageIsFrame = true;
    Bytes DefaultPixels;          // the IDAT image when it is not a frame
    std::uint32_t AnnouncedFrames = 0;  // acTL num_frames; 0: the number of frames
    std::uint32_t Plays = 0;            // acTL num_plays: 0 forever
    std::vector<ApngFrameSpec> Frames;
};

Bytes BuildApng(const ApngSpec& fixture);

// RGBA samples of one colour.
Bytes SolidRgba(std::uint32_t width, std::uint32_t height, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                std::uint8_t a);

// Appends one chunk, with its CRC, to a PNG being built by hand.
void AppendPngChunk(Bytes& png, const char* type, const Bytes& data);

// A plain one-image RGBA PNG.
Bytes BuildPlainPng(std::uint32_t width, std::uint32_t height, const Bytes& rgba);

// A still PNG of any colour type and bit depth, written with libpng's writer
// (which does the Adam7 interlacing itself).
struct StillPngSpec {
    std::uint32_t Width = 0, Height = 0;
    int ColourType = 6;  // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
    int BitDepth = 8;
    bool Interlaced = false;
    std::vector<std::uint16_t> Samples;  // one value a sample, rows top-down
    std::vector<Rgb> Palette;            // for colour type 3
    Bytes PaletteAlpha;                  // tRNS for colour type 3
    std::vector<std::uint16_t> TransparentKey;  // tRNS for types 0 (grey) and 2 (red, green, blue)
};

Bytes BuildStillPng(const StillPngSpec& fixture);

// ---- Animated WebP, assembled with libwebp's mux from lossless frames ----
struct WebpFrameSpec {
    int X = 0, Y = 0;  // even
    int Width = 0, Height = 0;
    Bytes Rgba;
    bool DisposeBackground = false;
    bool NoBlend = false;
    bool Lossy = false;
    int Duration = 100;  // milliseconds
};

struct WebpSpec {
    int CanvasWidth = 0, CanvasHeight = 0;
    std::uint32_t Background = 0;  // as stored: blue in the low byte, alpha in the high one
    int Loops = 0;                 // 0: forever
    std::vector<WebpFrameSpec> Frames;
};

Bytes BuildAnimatedWebp(const WebpSpec& fixture);
Bytes BuildStillWebp(int width, int height, const Bytes& rgba);

}  // namespace framelot::test

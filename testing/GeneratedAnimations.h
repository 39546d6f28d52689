// Animations drawn from families of content by a seed: how many colours and
// how they are dithered, noise, what moves and how, translucency, held and
// returning frames, the frame size and count, and the format. The benchmark
// times files no part of the writer was tuned on; the tests check every piece
// of a conversion against the frames the generator drew.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "testing/TestSupport.h"

namespace framelot::test {

struct GeneratedLimits {
    int MinWidth = 64;
    int MaxWidth = 1920;
    std::uint64_t MaxPixels = 40'000'000;  // frame pixels times frames
    int MaxFrames = 300;
};

struct GeneratedAnimation {
    std::string Family;     // what was drawn: "gif 8 colours ordered-dither noise 4 pan 320x200 x40"
    std::string Extension;  // ".gif", ".png" or ".webp"
    Bytes File;
    int Width = 0, Height = 0;
    bool Lossy = false;          // a lossy WebP: Frames are what was encoded, not what decodes
    std::vector<Bytes> Frames;   // each frame as it shows, RGBA
};

// The animation of `seed`: the same seed always gives the same bytes. Costs
// drawing every frame once and encoding the file (libwebp for WebP).
GeneratedAnimation GenerateAnimation(std::uint64_t seed, const GeneratedLimits& limits = {});

// A GIF made from video, drawn by `seed`: full-frame motion (a panning
// backdrop, moving shapes, grain), 64 to 216 colours, dithered or not, no
// transparency, whole frames, at a common 16:9 size up to the limits' width,
// with as many frames as the limits' pixels allow. The family reads "video gif ...".
GeneratedAnimation GenerateVideoGif(std::uint64_t seed, const GeneratedLimits& limits = {});

}  // namespace framelot::test

// What a conversion writes and where: the placement switch and the command
// line's output options. The defaults are a drop on the window.
#pragma once

#include <cstdint>
#include <string>

#include "convert/FrameList.h"
#include "convert/FrameSampling.h"
#include "convert/FrameScale.h"
#include "output/encoders/FrameEncoding.h"
#include "output/files/NameTemplate.h"
#include "output/files/TimingsText.h"
#include "output/sheets/Atlas.h"
#include "output/sheets/SheetPack.h"

namespace framelot {

// The canvas frames are written at: the one the format's own rules grow to
// (the default), or the size the file declares, anything outside clipped.
enum class CanvasChoice { Grown, Declared };

struct OutputOptions {
    bool MakeFolder = true;      // frames in a folder named after the source
    std::string OutputFolder;    // frames under this folder; empty: beside the source
    FrameList Frames;            // empty: every frame
    FrameSampling Sampling;      // frames picked by step or time among Frames
    NameTemplate Names = DefaultNameTemplate();  // frame file names (--name, --start)
    bool MergeHeld = false;      // consecutive equal frames written once, for the sum of their times
    TimingsFormat Timings = TimingsFormat::None;  // a file of the frames' times beside them
    FrameEncoding Encoding;      // frame files' format (--format, --quality, --background)
    ScaleChoice Scale;           // frames written at another size (--scale, --fit, --filter)
    std::uint64_t MaxOutputBytes = 0;  // --max-output: a file's frames may take at most this; 0: no cap
    bool Array = false;          // one NumPy array of the frames and their times instead of frame files (--npy)
    CanvasChoice Canvas = CanvasChoice::Grown;
    bool Sheet = false;          // one sprite sheet and its atlas instead of frame files
    SheetOptions Packing;        // with Sheet: the grid or the trimmed packing, and its sizes
    AtlasFormat Atlas = AtlasFormat::Array;  // with Sheet: the atlas's form
};

}  // namespace framelot

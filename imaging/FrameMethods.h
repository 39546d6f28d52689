// What happens to a frame's rectangle after it is shown, and how a frame is
// drawn over what lies under it: one vocabulary for every format, and the
// names `framelot-cli --info` prints for each.
#pragma once

#include <cstddef>
#include <cstdint>

namespace framelot {

// The values 0-3 are those a GIF control extension stores.
enum class DisposeMethod : std::uint8_t {
    None = 0,        // nothing said: the canvas is kept
    Keep = 1,        // the canvas is kept
    Background = 2,  // the rectangle is cleared
    Previous = 3,    // the rectangle gets back what lay there before the frame
};

enum class BlendMethod : std::uint8_t {
    Over,    // drawn source-over: transparent pixels leave the canvas
    Source,  // replaces the rectangle, alpha included
};

// "none", "keep", "background", "previous".
const char* DisposeName(DisposeMethod method);

// "over", "source".
const char* BlendName(BlendMethod method);

// The method as applied to the frame at `index`: nothing precedes frame 0, so
// restoring what lay under it means restoring the empty canvas (Background).
DisposeMethod EffectiveDispose(DisposeMethod method, std::size_t index);

}  // namespace framelot

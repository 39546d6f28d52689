// Fuzz target: the AVIF conversion over arbitrary bytes, frames discarded; and as a still.
#include <cstddef>
#include <cstdint>
#include <span>

#include "avif/AvifConvert.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const framelot::FrameSink check = [](std::uint64_t, const framelot::Bitmap& frame) {
        if (frame.Pixels.size() != static_cast<std::size_t>(frame.Width) * frame.Height * 4) __builtin_trap();
        return true;
    };
    framelot::ConvertAvifData(std::span(data, size), check);
    // The same bytes as a still, as frames read into memory take them.
    framelot::ConvertAvifStill(std::span(data, size), check);
    return 0;
}

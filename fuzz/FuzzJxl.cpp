// Fuzz target: the JPEG XL conversion over arbitrary bytes, frames discarded; and as a still.
#include <cstddef>
#include <cstdint>
#include <span>

#include "jxl/JxlConvert.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const framelot::FrameSink check = [](std::uint64_t, const framelot::Bitmap& frame) {
        if (frame.Pixels.size() != static_cast<std::size_t>(frame.Width) * frame.Height * 4) __builtin_trap();
        return true;
    };
    framelot::ConvertJxlData(std::span(data, size), check);
    // The same bytes as a still, as frames read into memory take them.
    framelot::ConvertJxlStill(std::span(data, size), check);
    return 0;
}

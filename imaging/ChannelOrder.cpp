// Built at -O3: the loop is written to become vector code.
#include "imaging/ChannelOrder.h"

#include <cstring>

namespace framelot {

void SwapRedAndBlue(const std::uint8_t* in, std::size_t length, std::uint8_t* out)
{
    constexpr std::size_t PixelBytes = 4;
    for (std::size_t i = 0; i + PixelBytes <= length; i += PixelBytes) {
        std::uint32_t v;
        std::memcpy(&v, in + i, sizeof v);
        v = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
        std::memcpy(out + i, &v, sizeof v);
    }
}

}  // namespace framelot

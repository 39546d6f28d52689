// Blue, green, red, alpha to red, green, blue, alpha, and back: the same swap.
#pragma once

#include <cstddef>
#include <cstdint>

namespace framelot {

// Writes `length` bytes of `in` to `out` with bytes 0 and 2 of every 4-byte
// pixel exchanged. `in` and `out` may be the same buffer.
void SwapRedAndBlue(const std::uint8_t* in, std::size_t length, std::uint8_t* out);

}  // namespace framelot

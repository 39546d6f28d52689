// Memory for one large NumPy array: mapped fresh from the system, so it
// reads as zero without being written, and advised to be backed by huge
// pages, so that filling a gigabyte takes hundreds of page faults rather
// than hundreds of thousands. Any thread may hold one.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace framelot {

struct ArrayMemory {
    std::uint8_t* Data = nullptr;
    std::size_t Bytes = 0;  // as mapped: the size asked for, rounded up to whole huge pages
};

// `bytes` of zeroed memory (at least one page); Data is null when the system
// has none to give.
ArrayMemory MapArrayMemory(std::size_t bytes);

// Touches every page of `memory`, first to last, so that the system's
// zeroing of them is done on the calling thread: run beside the thread that
// fills the memory, it takes that work off it. Stops early when `stop`
// becomes true.
void TouchArrayMemory(const ArrayMemory& memory, const std::atomic<bool>& stop);

// Gives the memory back; nothing for null.
void UnmapArrayMemory(const ArrayMemory& memory);

}  // namespace framelot

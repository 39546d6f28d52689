#include "ArrayMemory.h"

#include <sys/mman.h>

namespace framelot {
namespace {

constexpr std::size_t HugePageBytes = std::size_t{2} << 20;

}  // namespace

ArrayMemory MapArrayMemory(std::size_t bytes)
{
    const std::size_t rounded = (bytes + HugePageBytes - 1) / HugePageBytes * HugePageBytes;
    const std::size_t size = rounded == 0 ? HugePageBytes : rounded;
    void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (data == MAP_FAILED) return {};
    madvise(data, size, MADV_HUGEPAGE);  // advice only: without huge pages it is ordinary memory
    return {static_cast<std::uint8_t*>(data), size};
}

void TouchArrayMemory(const ArrayMemory& memory, const std::atomic<bool>& stop)
{
    constexpr std::size_t PageBytes = 4096;
    for (std::size_t at = 0; at < memory.Bytes && !stop.load(std::memory_order_relaxed); at += PageBytes) {
        // An atomic add of zero: the page is faulted in for writing, and a
        // byte the filling thread wrote meanwhile stays as it is.
        __atomic_fetch_add(memory.Data + at, 0, __ATOMIC_RELAXED);
    }
}

void UnmapArrayMemory(const ArrayMemory& memory)
{
    if (memory.Data != nullptr) munmap(memory.Data, memory.Bytes);
}

}  // namespace framelot

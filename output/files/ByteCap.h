// --max-output: the bytes one file's outputs may take, counted as they are
// written, whatever writes them (frame files, sheets and their atlas, an
// array, a timings file). Any thread may spend from one cap.
#pragma once

#include <atomic>
#include <cstdint>

namespace framelot {

struct ByteCap {
    std::uint64_t Limit = 0;  // 0: no cap
    std::atomic<std::uint64_t> Spent{0};
    std::atomic<bool> Reached{false};  // a write was refused

    // Counts `bytes` about to be written. False, with nothing counted and
    // Reached set, when they would take the total past Limit. Costs a few
    // atomic operations.
    bool Spend(std::uint64_t bytes)
    {
        if (Limit == 0) return true;
        std::uint64_t spent = Spent.load();
        do {
            if (bytes > Limit - spent) {
                Reached = true;
                return false;
            }
        } while (!Spent.compare_exchange_weak(spent, spent + bytes));
        return true;
    }
};

}  // namespace framelot

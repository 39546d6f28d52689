// The frame files of one conversion as they are handed to the writer: each
// output number's path, and, in the order written, each file with its time
// (for --timings); and runs of equal frames made one (--merge-held).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "imaging/Bitmap.h"
#include "output/files/TimingsText.h"

namespace framelot {

// Enter and Frames belong to the composing thread; PathOf may be called from
// any thread (the writer's), for a number entered before.
struct FrameBook {
    std::mutex Mutex;
    std::unordered_map<std::uint64_t, std::string> Paths;  // guarded by Mutex
    std::vector<TimedFrame> Frames;

    void Enter(std::uint64_t number, const std::string& path, const std::string& fileName, std::uint64_t index,
               double delayMs);
    std::string PathOf(std::uint64_t number);
};

// Consecutive frames of equal pixels, held until a different one comes:
// the run stands for one frame, shown for the sum of their times.
struct HeldRun {
    Bitmap Frame;
    bool Holding = false;
    std::uint64_t FirstIndex = 0;
    double DelayMs = 0;
    std::uint64_t Frames = 0;  // in the run

    // True when `frame` has the run's pixels.
    bool Continues(const Bitmap& frame) const;
    // Starts a new run with `frame` (copied).
    void Start(std::uint64_t index, const Bitmap& frame, double delayMs);
};

}  // namespace framelot

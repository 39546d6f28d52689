// The PNG files of a file's frames, kept by a fingerprint of their pixels,
// so that a frame seen before (a loop that comes back, a blink, an idle pose)
// is written by copying the first one's bytes instead of encoding it again.
//
// No pixels are kept: a frame whose fingerprint matches is checked against
// the kept file itself, by filtering the frame's rows as that file's plan did
// and comparing them with the file's decompressed rows. Equal filtered rows
// mean equal pixels, so only equal frames share bytes. Files that are not
// PNG are not kept.
//
// Costs: a fingerprint reads every sixteenth row of a frame; a match costs
// one filtering of the frame and one decompression of the kept file, a
// fraction of an encoding. Memory: the kept files, and every recall of the
// process together holds at most MaxRecallBytes, the oldest going first.
//
// Threads: any number of threads may look up and keep at once. Two threads
// with equal frames at the same time may both encode them; their bytes are
// the same.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "imaging/Bitmap.h"
#include "output/encoders/PngPlan.h"

namespace framelot {

class FrameRecall {
public:
    FrameRecall() = default;
    ~FrameRecall();
    FrameRecall(const FrameRecall&) = delete;
    FrameRecall& operator=(const FrameRecall&) = delete;

    // The bytes of a kept file of `frame`'s pixels, copied into `bytes`:
    // true. False when there is none.
    bool Find(const Bitmap& frame, std::vector<std::uint8_t>& bytes);

    // Keeps `bytes`, the PNG of `frame` encoded by `plan`; anything else (not
    // a PNG, empty, or no room left) is not kept.
    void Keep(const Bitmap& frame, const PngPlan& plan, const std::vector<std::uint8_t>& bytes);

    // Frames found so far.
    std::uint64_t Recalled() const;

private:
    struct Entry {
        std::uint32_t Print = 0;
        int Width = 0, Height = 0;
        PngPlan Plan;
        std::vector<std::uint8_t> Bytes;
    };

    mutable std::mutex mutex_;
    std::deque<std::shared_ptr<const Entry>> entries_;  // oldest first
    std::uint64_t heldBytes_ = 0;  // this recall's part of MaxRecallBytes
    std::uint64_t recalled_ = 0;
};

}  // namespace framelot

// The encoded files of a file's frames, kept by their pixels, so that a frame
// seen before (a loop that comes back, a blink, an idle pose) is written by
// copying the first one's bytes instead of encoding it again. A frame is
// found by a checksum of its pixels and then compared with them in full, so
// only equal pixels share bytes.
//
// Memory: each entry holds a copy of its frame's pixels and its file, and
// every recall of the process together holds at most MaxRecallBytes; the
// oldest entries of a recall go first, and a frame that does not fit is not
// kept.
//
// Threads: any number of threads may look up and keep at once. A frame being
// encoded by one thread is waited for by another that looks up equal pixels,
// so equal frames are encoded once whatever the order the threads run in.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "imaging/Bitmap.h"

namespace framelot {

class FrameRecall {
public:
    FrameRecall() = default;
    ~FrameRecall();
    FrameRecall(const FrameRecall&) = delete;
    FrameRecall& operator=(const FrameRecall&) = delete;

    // The bytes of a kept frame of `frame`'s pixels: copied into `bytes`,
    // true. Otherwise false, and the caller is to encode the frame and then
    // call Keep (with the bytes, or empty when it could not) with the ticket:
    // until then, others that look up these pixels wait. Costs a checksum of
    // the pixels and, for each kept frame of the same checksum, a comparison.
    bool Find(const Bitmap& frame, std::vector<std::uint8_t>& bytes, std::uint64_t& ticket);

    // Keeps the bytes of the frame of `ticket` (copying its pixels), or, with
    // `bytes` empty, lets the waiting lookups encode for themselves.
    void Keep(std::uint64_t ticket, const Bitmap& frame, const std::vector<std::uint8_t>& bytes);

    // Frames that were written from kept bytes.
    std::uint64_t Recalled() const;

private:
    struct Entry;
    bool EvictFor(std::uint64_t bytes);  // with mutex_ held: room made and taken, or false

    mutable std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::shared_ptr<Entry>> entries_;  // oldest first
    std::uint64_t nextTicket_ = 1;
    std::uint64_t heldBytes_ = 0;  // this recall's part of MaxRecallBytes
    std::uint64_t recalled_ = 0;
};

}  // namespace framelot

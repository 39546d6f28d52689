// Encodes and writes finished frames on worker threads while the next frames
// are composed. Composition stays sequential; only the finished frames, which
// no longer change, are handed over. At most a few frames wait at once, so
// memory stays bounded whatever the frame count.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "imaging/Bitmap.h"

namespace framelot {

class FrameWriterPool {
public:
    // Writes one frame under each of the given indices (a frame repeated
    // unchanged is encoded once).
    using WriteFunction = std::function<void(const std::vector<std::uint64_t>& indices, const Bitmap& frame)>;

    // `threads` workers call `write` for each submitted frame; with 0 threads
    // every frame is written at once on the calling thread.
    FrameWriterPool(unsigned threads, WriteFunction write);
    ~FrameWriterPool();
    FrameWriterPool(const FrameWriterPool&) = delete;
    FrameWriterPool& operator=(const FrameWriterPool&) = delete;

    // Queues the frame, taking its pixels: `frame` is left holding storage of
    // an earlier frame to reuse, its content undefined. Waits while the
    // queue is full.
    void Submit(const std::vector<std::uint64_t>& indices, Bitmap& frame);

    // Waits until every submitted frame has been written, then stops the workers.
    void Finish();

private:
    struct Pending {
        std::vector<std::uint64_t> Indices;
        Bitmap Frame;
    };
    void Work();

    WriteFunction write_;
    std::size_t capacity_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Pending> queue_;
    std::vector<Bitmap> spare_;  // storage of written frames, reused
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

// Workers for one file: the machine's cores, at least one.
unsigned DefaultEncodeThreads();

}  // namespace framelot

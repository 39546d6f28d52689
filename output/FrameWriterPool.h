// Encodes and writes finished frames on worker threads while the next frames
// are composed. Composition stays sequential; only the finished frames, which
// no longer change, are handed over.
//
// Memory: the frames the pool holds (waiting, being written, or kept for
// reuse), counted with the encoder buffers a frame being written needs, stay
// within the byte bound given (MaxWriterBytes by default), or are one frame
// when a single frame needs more; at most two frames a worker wait at once.
// So memory stays bounded whatever the frame count and the core count.
//
// Threads: Submit and Finish are called from one thread, the composer's.
// Each worker owns its PngEncoder.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/Limits.h"
#include "output/PngEncode.h"

namespace framelot {

class FrameWriterPool {
public:
    // Writes one frame under each of the given indices (a frame repeated
    // unchanged is encoded once), with the calling worker's own encoder.
    using WriteFunction =
        std::function<void(const std::vector<std::uint64_t>& indices, const Bitmap& frame, PngEncoder& encoder)>;

    // `threads` workers call `write` for each submitted frame; with 0 threads
    // every frame is written at once on the calling thread.
    FrameWriterPool(unsigned threads, WriteFunction write, std::uint64_t maxBytes = MaxWriterBytes);
    ~FrameWriterPool();
    FrameWriterPool(const FrameWriterPool&) = delete;
    FrameWriterPool& operator=(const FrameWriterPool&) = delete;

    // Queues the frame, taking its pixels: `frame` is left holding storage of
    // an earlier frame to reuse, its content undefined, or empty. Waits while
    // the pool holds as many frames or bytes as it may.
    void Submit(const std::vector<std::uint64_t>& indices, Bitmap& frame);

    // Waits until every submitted frame has been written, then stops the workers.
    void Finish();

private:
    struct Pending {
        std::vector<std::uint64_t> Indices;
        Bitmap Frame;
        std::uint64_t Charge = 0;
    };
    void Work();

    WriteFunction write_;
    std::size_t capacity_;
    std::uint64_t maxBytes_;
    PngEncoder inlineEncoder_;  // with no workers
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Pending> queue_;
    std::uint64_t heldBytes_ = 0;  // charges of the frames queued or being written
    std::vector<Bitmap> spare_;    // storage of written frames, reused
    std::uint64_t spareBytes_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

// What a frame counts against the pool's bound while it is queued or written:
// its pixels, and the encoder's filtered rows and compressed output, each
// about its size.
std::uint64_t WriterCharge(const Bitmap& frame);

// Workers for one file: the machine's cores, at least one.
unsigned DefaultEncodeThreads();

}  // namespace framelot

// Encodes and writes finished frames on worker threads while the next frames
// are composed. Composition stays sequential; only the finished frames, which
// no longer change, are handed over.
//
// Memory: every pool draws on one WriterBudget, by default the process's own
// (MaxWriterBytes), shared by all the files being converted side by side. The
// frames all of its pools hold (waiting, being written, or kept for reuse),
// each counted with the encoder buffers a frame being written needs
// (WriterCharge), stay within the budget's bound, or are one frame when a
// single frame needs more; at most two frames a worker wait at once. So
// memory stays bounded whatever the frame count, the core count and the
// number of files converted at once.
//
// A PNG frame equal to one written before by this pool is written from that
// one's bytes, not encoded again (FrameRecall).
//
// Threads: Submit and Finish are called from one thread, the composer's.
// Each worker owns its PngEncoder. A budget may be used by any thread.
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
#include "output/encoders/FrameRecall.h"
#include "output/encoders/PngEncode.h"

namespace framelot {

// The bytes that the pools drawing on it may hold at once. Its members are
// guarded by Mutex, which every pool of it also uses for its own queue.
struct WriterBudget {
    explicit WriterBudget(std::uint64_t maxBytes) : MaxBytes(maxBytes) {}
    const std::uint64_t MaxBytes;
    std::mutex Mutex;
    std::condition_variable Changed;  // bytes given back, or a pool's queue changed
    std::uint64_t HeldBytes = 0;      // charges of the frames queued or being written, in every pool
    std::vector<Bitmap> Spare;        // storage of written frames, for any pool to reuse
    std::uint64_t SpareBytes = 0;
    std::uint64_t PeakBytes = 0;      // the most HeldBytes + SpareBytes have been
    int ActivePools = 0;              // pools with workers; the spare storage goes when the last one finishes
};

// The budget of the whole process: MaxWriterBytes.
WriterBudget& ProcessWriterBudget();

class FrameWriterPool {
public:
    // Writes one frame under each of the given indices (a frame repeated
    // unchanged is encoded once), with the calling worker's own encoder and
    // the plan it was submitted with. `encoded` arrives holding the file's
    // bytes when an equal frame was written before; else empty, and the
    // function leaves the bytes it encoded in it (or nothing) to be kept.
    using WriteFunction = std::function<void(const std::vector<std::uint64_t>& indices, const Bitmap& frame,
                                             PngEncoder& encoder, const PngPlan& plan,
                                             std::vector<std::uint8_t>& encoded)>;

    // `threads` workers call `write` for each submitted frame; with 0 threads
    // every frame is written at once on the calling thread (and not counted).
    FrameWriterPool(unsigned threads, WriteFunction write, WriterBudget& budget = ProcessWriterBudget());
    ~FrameWriterPool();
    FrameWriterPool(const FrameWriterPool&) = delete;
    FrameWriterPool& operator=(const FrameWriterPool&) = delete;

    // Queues the frame, taking its pixels: `frame` is left holding storage of
    // an earlier frame to reuse, its content undefined, or empty. Waits while
    // this pool holds as many frames as it may, or the budget as many bytes.
    void Submit(const std::vector<std::uint64_t>& indices, Bitmap& frame, const PngPlan& plan = {});

    // Frames written from an earlier frame's bytes so far.
    std::uint64_t Recalled() const { return recall_.Recalled(); }

    // Waits until every submitted frame has been written, then stops the workers.
    void Finish();

private:
    struct Pending {
        std::vector<std::uint64_t> Indices;
        Bitmap Frame;
        PngPlan Plan;
        std::uint64_t Charge = 0;
    };
    void Work();
    void Write(const Pending& pending, PngEncoder& encoder);

    WriteFunction write_;
    std::size_t capacity_;
    WriterBudget& budget_;
    PngEncoder inlineEncoder_;  // with no workers
    FrameRecall recall_;
    std::deque<Pending> queue_;    // guarded by budget_.Mutex
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

// What a frame counts against the budget while it is queued or written: its
// pixels, and the encoder's filtered rows and compressed output, each about
// its size (the buffers an encoder keeps between frames are these).
std::uint64_t WriterCharge(const Bitmap& frame);

// Workers for one file: the machine's cores, at least one.
unsigned DefaultEncodeThreads();

}  // namespace framelot

// A file's frames for a caller that pulls them one at a time (an iterator):
// they are decoded on a thread of the stream's own and handed over through a
// queue of at most `Depth` frames, so a long file streams in bounded memory
// (the queue, the frame being composed, and the one the caller holds) and
// decoding runs while the caller works on the frame before.
//
// The constructor, Next, Outcome and the destructor belong to the caller
// (from any thread, one call at a time, as Python's iterators are called);
// the decoding thread shares only the queue and the outcome, under the
// stream's lock.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "convert/FrameReading.h"

namespace framelot {

struct StreamedFrame {
    std::uint64_t Index = 0;  // in the file (the first of a merged run)
    double StartMs = 0;       // when the file shows it: the sum of the delays before it
    double DurationMs = 0;    // until the next frame handed on (UntilTheNextPicked)
    Bitmap Pixels;            // the frame file's pixels, straight RGBA
};

struct FrameStream {
    static constexpr std::size_t Depth = 2;

    // Plans the reading on the calling thread (PlanFrameReading, a still
    // one frame when `stills`) and, when the plan stands, starts decoding on
    // the stream's thread. The stream owns `bytes`. Outcome() says at once
    // when the plan did not stand.
    FrameStream(std::vector<std::uint8_t> bytes, const SourceFormat& format, const OutputOptions& options,
                bool stills = false);

    // Stops decoding after the frame being composed and waits for the thread.
    ~FrameStream();
    FrameStream(const FrameStream&) = delete;
    FrameStream& operator=(const FrameStream&) = delete;

    // Waits for the next frame: true with `frame` filled; false once every
    // frame has been handed over (or the plan did not stand), and then
    // Outcome() is final.
    bool Next(StreamedFrame& frame);

    // The plan's outcome until the last frame is out, then the reading's
    // (a copy, taken under the stream's lock).
    ReadOutcome Outcome();

private:
    void Decode();

    std::vector<std::uint8_t> bytes_;
    const SourceFormat& format_;
    ReadOutcome outcome_;        // guarded by mutex_ once the thread runs
    std::mutex mutex_;           // guards queue_, finished_, stopping_
    std::condition_variable changed_;
    std::deque<StreamedFrame> queue_;
    bool finished_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace framelot

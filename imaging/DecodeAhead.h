// Frames decoded ahead of their composing. A format whose frames' data
// decode each on its own (GIF's LZW data, APNG's zlib streams, WebP's
// bitstreams) composes in order but can decode in any order: threads of this
// object's own decode frames a few ahead into slots (one slot more than the
// threads, and the composer's) while the calling thread composes and hands
// on the frames before. Without threads (one core, or frames too large to
// hold several of), each frame is decoded when it is taken, on the calling
// thread, into one slot.
//
// Take and the destructor belong to the composing thread; the decoding
// threads share the slots under the object's lock: a slot is its decoder's
// until its frame is decoded, then the composer's until the next Take.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "imaging/Cores.h"

namespace framelot {

// Frames whose pixels are at most this many bytes are decoded ahead; larger
// ones on the calling thread, so that the slots never hold more than about
// MaxDecodeAheadSlots times this.
inline constexpr std::uint64_t MaxDecodeAheadFrameBytes = 64ull << 20;
inline constexpr unsigned MaxDecodeAheadThreads = 4;
inline constexpr std::size_t MaxDecodeAheadSlots = MaxDecodeAheadThreads + 2;

template <typename Slot>
struct DecodeAhead {
    using DecodeFunction = std::function<void(std::size_t index, Slot& slot)>;

    // Decodes frames `first` to `end` - 1 with `decode`, on `threads` threads
    // of their own (at most MaxDecodeAheadThreads; 0: on the calling thread,
    // as each is taken). `decode` must touch nothing but its slot and what no
    // one changes meanwhile (the file's bytes, its index).
    DecodeAhead(std::size_t first, std::size_t end, DecodeFunction decode, unsigned threads)
        : end_(end), decode_(std::move(decode)), next_(first), taken_(first)
    {
        const unsigned workers = std::min(threads, MaxDecodeAheadThreads);
        slots_.resize(workers == 0 ? 1 : workers + 2);
        ready_.assign(slots_.size(), 0);
        for (unsigned i = 0; i < workers; ++i) threads_.emplace_back([this] { Work(); });
    }

    // Stops the decoding threads after the frames they are on, and waits for them.
    ~DecodeAhead()
    {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        for (std::thread& thread : threads_) thread.join();
    }
    DecodeAhead(const DecodeAhead&) = delete;
    DecodeAhead& operator=(const DecodeAhead&) = delete;

    // Frame `index`'s slot, decoded; waits while it is still being decoded.
    // Every frame from `first` is taken, in order, each once (reading may
    // stop at any frame); the slot is the caller's until the next Take.
    Slot& Take(std::size_t index)
    {
        if (threads_.empty()) {
            decode_(index, slots_[0]);
            return slots_[0];
        }
        Slot& slot = slots_[index % slots_.size()];
        std::unique_lock lock(mutex_);
        taken_ = index;  // the frames before it are done with, and so their slots
        changed_.notify_all();
        changed_.wait(lock, [&] { return ready_[index % slots_.size()] == index + 1; });
        return slot;
    }

private:
    void Work()
    {
        for (;;) {
            std::size_t index = 0;
            {
                // A frame may be claimed once the composer has taken the one
                // that used its slot last (so that decoding is over too).
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return stopping_ || next_ >= end_ || next_ < taken_ + slots_.size(); });
                if (stopping_ || next_ >= end_) return;
                index = next_++;
            }
            decode_(index, slots_[index % slots_.size()]);
            std::lock_guard lock(mutex_);
            ready_[index % slots_.size()] = index + 1;
            changed_.notify_all();
        }
    }

    std::size_t end_;
    DecodeFunction decode_;
    std::vector<Slot> slots_;
    std::vector<std::size_t> ready_;  // by slot: 1 + the frame decoded into it (guarded by mutex_)
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t next_;   // the next frame to claim (guarded by mutex_)
    std::size_t taken_;  // the frame the composer holds (guarded by mutex_)
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// The threads to decode ahead with: the cores, when there is more than one,
// more than two frames, and frames of at most MaxDecodeAheadFrameBytes; else 0.
inline unsigned DecodeAheadThreads(std::size_t frames, std::uint64_t frameBytes)
{
    const unsigned cores = CoreCount();
    return cores > 1 && frames > 2 && frameBytes <= MaxDecodeAheadFrameBytes ? cores : 0;
}

}  // namespace framelot

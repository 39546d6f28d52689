// The frame writer's memory: however many workers it has, the frames it holds
// stay within its byte bound, and every frame is still written, once.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "output/FrameWriterPool.h"

namespace framelot {
namespace {

// Writers that block until released, recording what they were given.
struct BlockedWriters {
    std::mutex Mutex;
    std::condition_variable Released;
    bool Open = false;
    std::atomic<int> Started{0};
    std::vector<std::uint64_t> Written;  // the index each frame's first byte names

    FrameWriterPool::WriteFunction Function()
    {
        return [this](const std::vector<std::uint64_t>& indices, const Bitmap& frame, PngEncoder&) {
            ++Started;
            std::unique_lock lock(Mutex);
            Released.wait(lock, [&] { return Open; });
            EXPECT_EQ(indices.size(), 1u);
            EXPECT_EQ(frame.Pixels[0], static_cast<std::uint8_t>(indices[0]));
            Written.push_back(indices[0]);
        };
    }
    void Release()
    {
        const std::lock_guard lock(Mutex);
        Open = true;
        Released.notify_all();
    }
};

// Submits `count` frames of w x h from a thread of its own, each marked with
// its index; returns how many Submit calls returned while the writers were
// still blocked, once `taken` of them have started.
int SubmittedWhileBlocked(FrameWriterPool& pool, BlockedWriters& writers, int count, int w, int h, int taken)
{
    std::atomic<int> submitted{0};
    std::thread composer([&] {
        for (int i = 0; i < count; ++i) {
            Bitmap frame = MakeBitmap(w, h);
            frame.Pixels[0] = static_cast<std::uint8_t>(i);
            pool.Submit({static_cast<std::uint64_t>(i)}, frame);
            ++submitted;
        }
    });
    while (writers.Started < taken) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // Time for the composer to go on if the pool would take more.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const int blocked = submitted;
    writers.Release();
    composer.join();
    pool.Finish();
    return blocked;
}

TEST(WriterPoolTest, FramesHeldStayWithinTheByteBoundWhateverTheWorkers)
{
    constexpr unsigned Workers = 16;
    constexpr int Frames = 40;
    const std::uint64_t charge = WriterCharge(MakeBitmap(512, 512));

    // Room for four frames: four are taken, by four workers, and the composer
    // waits; counted by frames alone, 48 would be (two a worker queued, one
    // a worker being written).
    BlockedWriters four;
    FrameWriterPool pool(Workers, four.Function(), 4 * charge);
    EXPECT_EQ(SubmittedWhileBlocked(pool, four, Frames, 512, 512, 4), 4);
    EXPECT_EQ(four.Started, Frames);
    std::sort(four.Written.begin(), four.Written.end());
    for (int i = 0; i < Frames; ++i) EXPECT_EQ(four.Written[static_cast<std::size_t>(i)], static_cast<std::uint64_t>(i));

    // A frame over the bound still goes through, alone.
    BlockedWriters alone;
    FrameWriterPool small(Workers, alone.Function(), charge / 2);
    EXPECT_EQ(SubmittedWhileBlocked(small, alone, 3, 512, 512, 1), 1);
    EXPECT_EQ(alone.Written.size(), 3u);
}

}  // namespace
}  // namespace framelot

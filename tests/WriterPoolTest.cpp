// The frame writer's memory: however many workers and however many files
// side by side, the frames held stay within the one budget, and every frame
// is still written, once; a frame seen before is copied, not encoded. Every wait has a deadline, so a deadlock fails the
// test instead of hanging it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "output/encoders/FrameWriterPool.h"

namespace framelot {
namespace {

constexpr auto Deadline = std::chrono::seconds(30);

// Writers that block until released, recording what they were given.
struct BlockedWriters {
    std::mutex Mutex;
    std::condition_variable Released;
    bool Open = false;
    std::atomic<int> Started{0};
    std::vector<std::uint64_t> Written;  // the index each frame's first byte names

    FrameWriterPool::WriteFunction Function()
    {
        return [this](const std::vector<std::uint64_t>& indices, const Bitmap& frame, PngEncoder&, const PngPlan&,
                      std::vector<std::uint8_t>&) {
            ++Started;
            std::unique_lock lock(Mutex);
            EXPECT_TRUE(Released.wait_for(lock, Deadline, [&] { return Open; })) << "never released";
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
    const auto giveUp = std::chrono::steady_clock::now() + Deadline;
    while (writers.Started < taken && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_GE(writers.Started, taken) << "the writers never started";
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
    WriterBudget room(4 * charge);
    FrameWriterPool pool(Workers, four.Function(), room);
    EXPECT_EQ(SubmittedWhileBlocked(pool, four, Frames, 512, 512, 4), 4);
    EXPECT_EQ(four.Started, Frames);
    std::sort(four.Written.begin(), four.Written.end());
    for (int i = 0; i < Frames; ++i) EXPECT_EQ(four.Written[static_cast<std::size_t>(i)], static_cast<std::uint64_t>(i));

    // A frame over the bound still goes through, alone.
    BlockedWriters alone;
    WriterBudget tight(charge / 2);
    FrameWriterPool small(Workers, alone.Function(), tight);
    EXPECT_EQ(SubmittedWhileBlocked(small, alone, 3, 512, 512, 1), 1);
    EXPECT_EQ(alone.Written.size(), 3u);
}

// Files converted side by side (--jobs) share one budget: with room for three
// frames, six pools of four workers each hold no more than three between
// them, and all their frames are written.
TEST(WriterPoolTest, FilesSideBySideShareOneBudget)
{
    constexpr int Pools = 6, FramesEach = 12;
    const std::uint64_t charge = WriterCharge(MakeBitmap(256, 256));
    WriterBudget budget(3 * charge);
    std::atomic<int> written{0};
    std::atomic<std::uint64_t> peakSeen{0};
    auto write = [&](const std::vector<std::uint64_t>&, const Bitmap&, PngEncoder&, const PngPlan&, std::vector<std::uint8_t>&) {
        {
            std::lock_guard lock(budget.Mutex);
            peakSeen = std::max<std::uint64_t>(peakSeen, budget.HeldBytes + budget.SpareBytes);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ++written;
    };
    std::vector<std::thread> composers;
    for (int p = 0; p < Pools; ++p) {
        composers.emplace_back([&] {
            FrameWriterPool pool(4, write, budget);
            for (int i = 0; i < FramesEach; ++i) {
                Bitmap frame = MakeBitmap(256, 256);
                pool.Submit({static_cast<std::uint64_t>(i)}, frame);
            }
            pool.Finish();
        });
    }
    for (std::thread& c : composers) c.join();
    EXPECT_EQ(written, Pools * FramesEach);
    EXPECT_LE(budget.PeakBytes, 3 * charge);
    EXPECT_LE(peakSeen, 3 * charge);
    EXPECT_EQ(budget.HeldBytes, 0u);
    EXPECT_TRUE(budget.Spare.empty()) << "kept storage outlived the last file";
}

// A frame that comes back (a loop, a blink) is written from the bytes of its
// first showing: equal bytes, one encoding for each distinct frame; a frame
// one byte apart, in a row its fingerprint does not read, is encoded for
// itself.
TEST(WriterPoolTest, AFrameSeenBeforeIsCopiedNotEncodedAgain)
{
    auto frame = [](std::uint8_t shade, std::uint8_t corner) {
        Bitmap b = MakeBitmap(64, 48);
        std::fill(b.Pixels.begin(), b.Pixels.end(), shade);
        b.Pixels[64 * 4] = corner;  // row 1
        return b;
    };
    const Bitmap distinct[] = {frame(10, 10), frame(200, 200), frame(90, 90), frame(10, 11)};
    const int order[] = {0, 1, 0, 2, 1, 0, 3, 0, 2, 3, 1};
    std::mutex mutex;
    int encodings = 0;
    std::map<std::uint64_t, std::vector<std::uint8_t>> files;
    auto write = [&](const std::vector<std::uint64_t>& indices, const Bitmap& f, PngEncoder& encoder,
                     const PngPlan& plan, std::vector<std::uint8_t>& encoded) {
        if (encoded.empty()) {
            EXPECT_TRUE(EncodePng(encoder, f, plan, encoded));
            std::lock_guard lock(mutex);
            ++encodings;
        }
        std::lock_guard lock(mutex);
        files[indices[0]] = encoded;
    };
    for (unsigned workers : {0u, 4u}) {
        SCOPED_TRACE(std::to_string(workers) + " workers");
        encodings = 0;
        files.clear();
        FrameWriterPool pool(workers, write);
        for (std::size_t i = 0; i < std::size(order); ++i) {
            Bitmap b = distinct[order[i]];
            pool.Submit({i}, b);
        }
        pool.Finish();
        // Alone, each distinct frame is encoded once; workers that meet
        // equal frames at once may each encode theirs.
        if (workers == 0) {
            EXPECT_EQ(encodings, 4);
        }
        EXPECT_EQ(pool.Recalled() + static_cast<std::uint64_t>(encodings), std::size(order));
        PngEncoder encoder;
        for (std::size_t i = 0; i < std::size(order); ++i) {
            std::vector<std::uint8_t> fresh;
            ASSERT_TRUE(EncodePng(encoder, distinct[order[i]], PngPlan{}, fresh));
            EXPECT_TRUE(files[i] == fresh) << "frame " << i;
        }
    }
}

// The bound counts what the encoder needs beside the frame (its filtered rows
// and its output): a frame is charged three times its pixels.
TEST(WriterPoolTest, ChargeCountsTheEncodersBuffers)
{
    const Bitmap frame = MakeBitmap(100, 50);
    EXPECT_EQ(WriterCharge(frame), 3u * 100 * 50 * 4);
}

}  // namespace
}  // namespace framelot

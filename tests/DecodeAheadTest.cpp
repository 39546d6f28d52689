// Frames decoded ahead come to the composer in order, each its own, with any
// number of threads, from any first frame, and however early reading stops.
#include <gtest/gtest.h>

#include <atomic>

#include "imaging/DecodeAhead.h"

namespace framelot {
namespace {

struct Slot {
    std::size_t Frame = 0;
    std::vector<std::size_t> Work;  // a frame's decoding writes all of it
};

TEST(DecodeAheadTest, EveryFrameComesInOrderInItsOwnSlotAndStopsAnywhere)
{
    for (unsigned threads : {0u, 1u, 2u, 4u, 9u}) {
        for (std::size_t first : {std::size_t{0}, std::size_t{1}, std::size_t{5}}) {
            for (std::size_t stopAt : {first, first + 1, first + 3, std::size_t{40}}) {
                std::atomic<std::size_t> decoded{0};
                {
                    DecodeAhead<Slot> ahead(
                        first, 40,
                        [&](std::size_t index, Slot& slot) {
                            slot.Frame = index;
                            slot.Work.assign(1000 + index % 7 * 300, index);
                            ++decoded;
                        },
                        threads);
                    for (std::size_t i = first; i < stopAt; ++i) {
                        const Slot& slot = ahead.Take(i);
                        ASSERT_EQ(slot.Frame, i) << threads << " threads, from " << first;
                        ASSERT_EQ(slot.Work.front(), i);
                        ASSERT_EQ(slot.Work.back(), i);
                    }
                }
                // Stopped early, at most a slot's worth was decoded past the last taken.
                EXPECT_LE(decoded.load(), stopAt - first + MaxDecodeAheadSlots) << threads << " threads";
            }
        }
    }
}

}  // namespace
}  // namespace framelot

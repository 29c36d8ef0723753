#include <gtest/gtest.h>

#include <algorithm>

#include "sim/FramePacer.h"

using namespace std::chrono_literals;

// A paced stream that loses the CPU for a while catches up with the broadcast's schedule in
// bounded bursts, frame by frame without gaps; after a stall of minutes it rejoins the
// broadcast where it is, as a receiver that was suspended does.
TEST(FramePacerTest, CatchesUpInBoundedBurstsAndResynchronises) {
    using Clock = FramePacer::Clock;
    struct Case {
        Clock::duration frameTime, stall;
        bool skips;
    };
    for (const Case c : {Case{24ms, 0ms, false}, Case{24ms, 200ms, false}, Case{24ms, 3s, false},
                         Case{48ms, 1s, false}, Case{24ms, 60s, true}}) {
        SCOPED_TRACE(std::chrono::duration_cast<std::chrono::milliseconds>(c.stall).count());
        const Clock::time_point since{};
        FramePacer pacer(since, c.frameTime);
        Clock::time_point now = since + 10s + 5ms;  // joined mid-frame
        pacer.Join(now);
        EXPECT_EQ(pacer.Index(), 10s / c.frameTime);
        const Clock::time_point stallAt = now + 2s;
        const Clock::time_point end = stallAt + c.stall + 4s;
        bool stalled = false;
        bool skipped = false;
        long burst = 0;
        long longestBurst = 0;
        while (now < end) {
            const std::int64_t delivered = pacer.Index();
            const Clock::time_point due = pacer.Advance(now);
            skipped = skipped || pacer.Index() != delivered + 1;
            burst = due > now ? 0 : burst + 1;
            longestBurst = std::max(longestBurst, burst);
            now = std::max(now, due);
            if (!stalled && now >= stallAt) {
                stalled = true;
                now += c.stall;  // the thread does not run meanwhile
            }
        }
        EXPECT_EQ(skipped, c.skips);
        // Back on the broadcast's schedule: the next frame is the one on air now or the next.
        EXPECT_GE(pacer.Index(), (now - since) / c.frameTime);
        EXPECT_LE(pacer.Index(), (now - since) / c.frameTime + 1);
        EXPECT_LE(longestBurst * c.frameTime, FramePacer::kMaxBurst);
    }
}

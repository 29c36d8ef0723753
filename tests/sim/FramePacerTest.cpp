#include <gtest/gtest.h>

#include <algorithm>

#include "sim/FramePacer.h"

using namespace std::chrono_literals;

// A paced stream that loses the CPU for a while catches up with the broadcast's schedule in
// bounded bursts, without skipping a frame; after a stall of a minute it rejoins the broadcast
// where it is, as a receiver that was suspended does.
TEST(FramePacerTest, CatchesUpInBoundedBurstsAndResynchronises) {
    struct Case {
        FramePacer::Clock::duration frameTime, stall;
        bool skips;
    };
    for (const Case c : {Case{24ms, 0ms, false}, Case{24ms, 200ms, false}, Case{24ms, 3s, false},
                         Case{48ms, 1s, false}, Case{24ms, 60s, true}}) {
        SCOPED_TRACE(std::chrono::duration_cast<std::chrono::milliseconds>(c.stall).count());
        const FramePacer::Clock::time_point since{};
        FramePacer pacer(since, c.frameTime);
        auto now = since + 10s + 5ms;
        pacer.Join(now);
        EXPECT_EQ(pacer.Index(), 10s / c.frameTime);  // the frame on air
        const auto stallAt = now + 2s;
        bool skipped = false;
        long burst = 0;
        long longestBurst = 0;
        while (now < stallAt + c.stall + 4s) {
            const std::int64_t delivered = pacer.Index();
            const auto due = pacer.Advance(now);
            skipped = skipped || pacer.Index() != delivered + 1;
            burst = due > now ? 0 : burst + 1;
            longestBurst = std::max(longestBurst, burst);
            now = std::max(now, due) + (now < stallAt && due >= stallAt ? c.stall : 0s);
        }
        EXPECT_EQ(skipped, c.skips);
        EXPECT_EQ(pacer.Index(), (now - since) / c.frameTime);  // back on schedule
        EXPECT_LE(longestBurst * c.frameTime, FramePacer::kMaxBurst);
    }
}

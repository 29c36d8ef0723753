#pragma once

#include <chrono>
#include <cstdint>

// The schedule of one paced frame stream: frame i is on air at `since + i × frame time`. A
// stream that falls behind (its thread starved of CPU) catches up by delivering the overdue
// frames back to back, at most a burst's worth before it waits one frame time, so listeners
// stay on the broadcast's rate; after a stall longer than a receiver would bridge (a suspended
// process) it rejoins the broadcast where it is now. Pure arithmetic on the times it is given;
// used by one thread.
class FramePacer {
public:
    using Clock = std::chrono::steady_clock;

    // Frames delivered back to back before a pause, as air time.
    static constexpr std::chrono::milliseconds kMaxBurst{300};
    // A stream further behind than this rejoins the broadcast instead of catching up.
    static constexpr std::chrono::seconds kResyncAfter{5};

    FramePacer(Clock::time_point since, Clock::duration frameTime);

    // Joins at `now`: the frame on air then becomes the next to deliver.
    void Join(Clock::time_point now);
    // The frame to deliver next.
    std::int64_t Index() const { return index_; }
    // Called once the frame Index() is delivered, at `now`: moves to the next frame and gives
    // the time to deliver it (`now` or earlier: at once).
    Clock::time_point Advance(Clock::time_point now);

private:
    Clock::time_point Due(std::int64_t index) const;
    std::int64_t OnAir(Clock::time_point now) const;

    Clock::time_point since_;
    Clock::duration frameTime_;
    std::int64_t maxBurst_;  // frames
    std::int64_t index_ = 0;
    std::int64_t burst_ = 0;  // overdue frames delivered back to back so far
};

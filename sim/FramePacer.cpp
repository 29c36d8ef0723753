#include "sim/FramePacer.h"

#include <algorithm>

FramePacer::FramePacer(Clock::time_point since, Clock::duration frameTime)
    : since_(since),
      frameTime_(frameTime),
      maxBurst_(std::max<std::int64_t>(1, Clock::duration(kMaxBurst) / frameTime)) {}

void FramePacer::Join(Clock::time_point now) {
    index_ = OnAir(now);
    burst_ = 0;
}

FramePacer::Clock::time_point FramePacer::Advance(Clock::time_point now) {
    ++index_;
    const Clock::time_point due = Due(index_);
    if (due > now) {
        burst_ = 0;
        return due;
    }
    if (now - due > kResyncAfter) {
        Join(now);
        return now;
    }
    if (++burst_ > maxBurst_) {
        burst_ = 0;
        return now + frameTime_;
    }
    return due;
}

FramePacer::Clock::time_point FramePacer::Due(std::int64_t index) const {
    return since_ + index * frameTime_;
}

std::int64_t FramePacer::OnAir(Clock::time_point now) const {
    return now <= since_ ? 0 : (now - since_) / frameTime_;
}

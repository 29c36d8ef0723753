#pragma once

#include <QTimeZone>
#include <cstdint>
#include <functional>

// What the timer reads the time from: the instant, and the zone whose wall clock the schedule
// is written in. Tests put a clock of their own here.
struct TTimerClock {
    // Milliseconds since 1970-01-01 00:00 UTC.
    std::function<std::int64_t()> NowMs;
    QTimeZone Zone;

    // The system's clock and time zone.
    static TTimerClock System();
};

#pragma once

#include <QDateTime>
#include <QTime>
#include <cstdint>

// One moment at which the machine must be running the program: a minute before a timed
// recording starts. Times are local.
struct TWakeupTrigger {
    // Weekly: every day of `Days` (bit 0 Sunday ... bit 6 Saturday, never 0) at `TimeOfDay`.
    // One-off: `Days` is 0 and the trigger fires once at `At`.
    std::uint8_t Days = 0;
    QTime TimeOfDay;
    QDateTime At;

    bool operator==(const TWakeupTrigger&) const = default;
};

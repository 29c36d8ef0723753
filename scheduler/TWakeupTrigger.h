#pragma once

#include <QDate>
#include <QTime>
#include <cstdint>

// One moment at which the machine must be running the program: a minute before a timed
// recording starts, as wall-clock time of the local zone (the sink turns it into what its
// scheduler needs; a time the clocks skip has no instant of its own).
struct TWakeupTrigger {
    // Weekly: every day of `Days` (bit 0 Sunday ... bit 6 Saturday, never 0) at `TimeOfDay`.
    // One-off: `Days` is 0 and the trigger fires once on `Date` at `TimeOfDay`.
    std::uint8_t Days = 0;
    QTime TimeOfDay;
    QDate Date;

    bool operator==(const TWakeupTrigger&) const = default;
};

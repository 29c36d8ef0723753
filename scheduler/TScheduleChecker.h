#pragma once

#include <QList>
#include <array>
#include <cstdint>

#include "scheduler/ScheduleTime.h"

class TScheduleEvent;
class TScheduleWrapper;
class TServiceTablesWrapper;

// Finds schedules in which two recordings would need different multiplexes in the same minute
// (the receiver tunes one frequency at a time). A week table holds, per minute of the week, the
// ensemble frequency (MHz) that weekly events occupy; one-off events are checked against it and
// against each other. Two frequencies are the same multiplex when exactly equal. Used on the
// thread that owns the schedule.
class TScheduleChecker {
public:
    // `schedule` and `tables` are not owned and must outlive the checker. With `buildNow` the
    // week table is built at once.
    TScheduleChecker(const TScheduleWrapper& schedule, const TServiceTablesWrapper& tables,
                     bool buildNow);

    // Frees every minute of the week.
    void ClearTable();
    // Whether `service` can record `length` minutes from `minute` on the weekday of `date`
    // (wrapping from Saturday night into Sunday) without meeting another multiplex in the table;
    // with `mark` the minutes are taken for it. A start outside 0..1439 never happens and
    // checks nothing.
    bool CheckSlot(bool mark, std::int32_t service, double date, std::int32_t minute,
                   std::int32_t length);
    // CheckSlot on every day of `days` (bit 0 Sunday ... bit 6 Saturday), all of them checked.
    bool CheckWeekly(bool mark, std::int32_t service, std::uint8_t days, std::int32_t minute,
                     std::int32_t length);
    // CheckWeekly when `days` has a day, else CheckSlot on `date`.
    bool CheckEvent(bool mark, std::int32_t service, std::uint8_t days, double date,
                    std::int32_t minute, std::int32_t length);
    // Rebuilds the table from the weekly events; true when they do not clash among themselves.
    bool BuildWeekly();
    // True when no one-off event clashes with the table (stops at the first clash).
    bool CheckOneOffs();
    // True when the candidate clashes with no one-off event on another multiplex: a one-off
    // candidate at its date and minute, a weekly one at every occurrence.
    bool CheckAgainstOneOffs(std::int32_t service, std::uint8_t days, double date,
                             std::int32_t minute, std::int32_t length);

private:
    const TScheduleWrapper& schedule_;
    const TServiceTablesWrapper& tables_;
    // Slot (weekday - 1) * 1440 + minute; 0 is free.
    std::array<double, kMinutesPerWeek> weekTable_{};
    QList<const TScheduleEvent*> found_;
};

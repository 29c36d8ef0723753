#include "scheduler/TScheduleChecker.h"

#include <algorithm>

#include "scheduler/TScheduleEvent.h"
#include "scheduler/TScheduleWrapper.h"
#include "services/TServiceTablesWrapper.h"

namespace {

// The timer starts events only at minutes 0..1439, so other starts (hand-edited files) never
// record anything and cannot clash.
bool StartHappens(std::int32_t minute) {
    return minute >= 0 && minute < kMinutesPerDay;
}

}  // namespace

TScheduleChecker::TScheduleChecker(const TScheduleWrapper& schedule,
                                   const TServiceTablesWrapper& tables, bool buildNow)
    : schedule_(schedule), tables_(tables) {
    if (buildNow) {
        BuildWeekly();
    }
}

void TScheduleChecker::ClearTable() {
    weekTable_.fill(0);
}

bool TScheduleChecker::CheckSlot(bool mark, std::int32_t service, double date, std::int32_t minute,
                                 std::int32_t length) {
    if (!StartHappens(minute)) {
        return true;
    }
    std::size_t slot = static_cast<std::size_t>(DayOfWeek(date) - 1) * kMinutesPerDay +
                       static_cast<std::size_t>(minute);
    const double frequency = tables_.GetServiceFrequency(service);
    if (weekTable_[slot] != 0 && weekTable_[slot] != frequency) {
        return false;
    }
    // Past one whole week every minute has been seen (and taken): the answer cannot change.
    const std::int32_t steps = std::clamp(length, 0, kMinutesPerWeek);
    bool ok = true;
    for (std::int32_t i = 0; i < steps; ++i) {
        ok = ok && (weekTable_[slot] == 0 || weekTable_[slot] == frequency);
        if (mark) {
            weekTable_[slot] = frequency;
        }
        slot = (slot + 1) % weekTable_.size();
    }
    return ok;
}

bool TScheduleChecker::CheckWeekly(bool mark, std::int32_t service, std::uint8_t days,
                                   std::int32_t minute, std::int32_t length) {
    bool ok = true;
    for (int d = 0; d < 7; ++d) {
        if ((days & (1u << d)) != 0) {
            // Day counts 1 to 7 are Sunday to Saturday.
            ok = CheckSlot(mark, service, d + 1, minute, length) && ok;
        }
    }
    return ok;
}

bool TScheduleChecker::CheckEvent(bool mark, std::int32_t service, std::uint8_t days, double date,
                                  std::int32_t minute, std::int32_t length) {
    if ((days & 0x7F) != 0) {
        return CheckWeekly(mark, service, days, minute, length);
    }
    return CheckSlot(mark, service, date, minute, length);
}

bool TScheduleChecker::BuildWeekly() {
    ClearTable();
    bool ok = true;
    // In order of weekday and start minute, so that of two clashing events the later-entered
    // one's frequency stays in the shared minutes.
    for (int day = 1; day <= 7; ++day) {
        for (std::int32_t minute = 0; minute < kMinutesPerDay; ++minute) {
            schedule_.GetEventsAt(found_, minute, day);
            for (const TScheduleEvent* event : found_) {
                ok = CheckWeekly(true, event->ServiceID, event->Days, event->StartMinute,
                                 event->LengthMinutes) &&
                     ok;
            }
        }
    }
    return ok;
}

bool TScheduleChecker::CheckOneOffs() {
    schedule_.GetOneOffEvents(found_);
    bool ok = true;
    for (qsizetype i = 0; ok && i < found_.size(); ++i) {
        const TScheduleEvent* event = found_[i];
        ok = CheckSlot(false, event->ServiceID, event->Date, event->StartMinute,
                       event->LengthMinutes);
    }
    return ok;
}

bool TScheduleChecker::CheckAgainstOneOffs(std::int32_t service, std::uint8_t days, double date,
                                           std::int32_t minute, std::int32_t length) {
    if (!StartHappens(minute)) {
        return true;
    }
    const double frequency = tables_.GetServiceFrequency(service);
    const bool weekly = (days & 0x7F) != 0;
    const double start =
        static_cast<double>(WholeDays(date)) + static_cast<double>(minute) / kMinutesPerDay;
    schedule_.GetOneOffEvents(found_);
    for (const TScheduleEvent* event : found_) {
        if (!StartHappens(event->StartMinute) ||
            tables_.GetServiceFrequency(event->ServiceID) == frequency) {
            continue;
        }
        const bool clash =
            weekly ? WeeklyOverlaps(days, minute, length, MinuteCount(event->StartTime()),
                                    MinuteCount(event->EndTime()))
                   : event->Overlaps(start, static_cast<double>(length) / kMinutesPerDay);
        if (clash) {
            return false;
        }
    }
    return true;
}

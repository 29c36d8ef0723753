#pragma once

#include <QString>
#include <cstdint>

#include "services/TServiceTablesWrapper.h"

// One timed recording: which service, when, for how long and into which file. Date-times are day
// counts (scheduler/ScheduleTime.h). A plain value, used by one thread at a time.
class TScheduleEvent {
public:
    // A new empty event: a fresh EventID, every other field zero or empty.
    TScheduleEvent();

    // The event as one line of "Schedule.csv" (without the line break). The service is written as
    // its SId and secondary number from `tables`, or as last known while it is not there.
    QString AsText(const TServiceTablesWrapper& tables) const;
    // Reads a line of "Schedule.csv" and looks its service up in `tables`. False, leaving the
    // event as it was, when the line has fewer than ten fields, a mask or append value outside
    // 0..255, or a time or length beyond 32 bits.
    bool LoadFromText(const QString& line, const TServiceTablesWrapper& tables);
    // Copies every field, EventID included.
    void Assign(const TScheduleEvent& source);
    // Keeps a ServiceID that `tables` still hold (noting its key), else looks the last known key
    // up again: ServiceIDs change when the tables are rebuilt.
    void ResolveService(const TServiceTablesWrapper& tables);

    // Days & 0x7F is not 0.
    bool IsWeekly() const;
    // A one-off's start and end, rounded to the minute; 0 for a weekly event.
    double StartTime() const;
    double EndTime() const;
    // Whether the event starts at `minute` (after midnight) of the day of `date`.
    bool OccursAt(std::int32_t minute, double date) const;
    // Whether the event overlaps [start, start + duration) (both rounded to the minute first);
    // a weekly event by its occurrences nearest to `start`.
    bool Overlaps(double start, double duration) const;

    // "$" and 12 hexadecimal digits of the creation moment (ms since 1 January of year 1).
    QString EventID;
    // Weekly repeat mask, bit 0 Sunday ... bit 6 Saturday; 0 is a one-off.
    std::uint8_t Days = 0;
    // Date of a one-off (whole days); unused for the timing of a weekly event.
    double Date = 0;
    // Minutes after midnight, 0..1439 when valid.
    std::int32_t StartMinute = 0;
    // Minutes, at least 1 when valid.
    std::int32_t LengthMinutes = 0;
    // Key of the service in the tables; 0 when the service was not found.
    std::int32_t ServiceID = 0;
    // Full path of the recording; its extension picks the format.
    QString FileName;
    // 0 = nothing, 1 = at the end of the name, 2 = at its start.
    std::uint8_t AppendDate = 0;
    std::uint8_t AppendTime = 0;

private:
    // The service's SId and secondary number as last known: a service missing from the tables
    // keeps its place in the file and is found again when the tables hold it.
    TServiceKeyParts serviceKey_;
};

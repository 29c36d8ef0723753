#pragma once

#include <QDate>
#include <QString>
#include <QTimeZone>
#include <cstdint>
#include <optional>

// Time arithmetic of the schedule. Date-times are day counts since 30 December 1899 in a double,
// the time of day being the fraction; the schedule works in whole minutes (1/1440 day) and does
// its arithmetic on integer minute counts so that minute boundaries compare exactly. Any thread.

inline constexpr std::int32_t kMinutesPerDay = 1440;
inline constexpr std::int32_t kMinutesPerWeek = 7 * kMinutesPerDay;

// Division and remainder rounding towards minus infinity (the remainder is never negative).
std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor);
std::int64_t FloorMod(std::int64_t value, std::int64_t divisor);

// The whole days of a day count (rounded down). NaN, infinities and counts beyond a billion days
// give 0.
std::int64_t WholeDays(double days);
// The day count as whole minutes since 30 December 1899 00:00, rounded to the nearest minute;
// 0 where WholeDays gives 0 for a non-number.
std::int64_t MinuteCount(double days);
// The day count rounded to the nearest minute.
double RoundToMinute(double days);
// 1 = Sunday ... 7 = Saturday (day 1, 31 December 1899, was a Sunday).
int DayOfWeek(double days);
// The calendar date of a whole day count, and back.
QDate DateOfDay(std::int64_t wholeDays);
std::int64_t DayOfDate(const QDate& date);

// The minutes rule of times and lengths typed by the user and read from the schedule file: with a
// ":" the part before it is hours and the part after it minutes (each an integer, 0 when
// unreadable, minutes not limited to 0..59); without one the whole text is an integer meaning
// hours when `bareMeansHours`, else minutes. Empty when the result does not fit 32 bits.
std::optional<std::int32_t> MinutesFromText(const QString& text, bool bareMeansHours);
// Hours and minutes, two digits each at least ("07:30", "26:00"); negative values keep their
// signs ("-01:-05") so that MinutesFromText reads back every value.
QString MinutesText(std::int32_t minutes);

// Whether a weekly recording on the days of `days` (bit 0 Sunday ... bit 6 Saturday) from
// `startMinute` for `length` minutes overlaps the minutes [from, to) (minute counts as above).
// Checks the occurrences of the week holding `from` and, for each day, the one a week nearer to
// it.
bool WeeklyOverlaps(std::uint8_t days, std::int32_t startMinute, std::int32_t length,
                    std::int64_t from, std::int64_t to);

// Instants as whole minutes since 30 December 1899 00:00 UTC, and the wall-clock minutes of a
// time zone (minute counts as above, read on that zone's clock). The timer works on instants so
// that lengths are real time across daylight-saving changes.
// The minute nearest to `msecsSinceEpoch` (milliseconds since 1970-01-01 00:00 UTC).
std::int64_t NearestInstantMinute(std::int64_t msecsSinceEpoch);
// The wall-clock minute of `zone` at `instantMinute`.
std::int64_t WallMinute(const QTimeZone& zone, std::int64_t instantMinute);
// The earliest instant whose wall-clock minute in `zone` is `wallMinute` (the first of a
// repeated hour); a minute the clocks skip maps to the instant they jump.
std::int64_t InstantOfWallMinute(const QTimeZone& zone, std::int64_t wallMinute);

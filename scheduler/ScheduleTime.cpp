#include "scheduler/ScheduleTime.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>
#include <limits>

#include "services/CsvFields.h"

namespace {

// Far beyond any date the calendar holds, and small enough that minute counts fit 64 bits.
constexpr double kDayLimit = 1e9;

QDate Epoch() {
    return QDate(1899, 12, 30);
}

}  // namespace

std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
    const std::int64_t q = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? q - 1 : q;
}

std::int64_t FloorMod(std::int64_t value, std::int64_t divisor) {
    return value - FloorDiv(value, divisor) * divisor;
}

std::int64_t WholeDays(double days) {
    if (!(std::fabs(days) <= kDayLimit)) {
        return 0;
    }
    return static_cast<std::int64_t>(std::floor(days));
}

std::int64_t MinuteCount(double days) {
    if (!(std::fabs(days) <= kDayLimit)) {
        return 0;
    }
    return std::llround(days * kMinutesPerDay);
}

double RoundToMinute(double days) {
    return static_cast<double>(MinuteCount(days)) / kMinutesPerDay;
}

int DayOfWeek(double days) {
    return static_cast<int>(FloorMod(WholeDays(days) - 1, 7)) + 1;
}

QDate DateOfDay(std::int64_t wholeDays) {
    return Epoch().addDays(wholeDays);
}

std::int64_t DayOfDate(const QDate& date) {
    return Epoch().daysTo(date);
}

std::optional<std::int32_t> MinutesFromText(const QString& text, bool bareMeansHours) {
    const qsizetype colon = text.indexOf(u':');
    std::int64_t minutes = 0;
    if (colon >= 0) {
        minutes = std::int64_t{ParseInt32Field(text.left(colon))} * 60 +
                  ParseInt32Field(text.mid(colon + 1));
    } else {
        minutes = ParseInt32Field(text);
        if (bareMeansHours) {
            minutes *= 60;
        }
    }
    if (minutes < std::numeric_limits<std::int32_t>::min() ||
        minutes > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(minutes);
}

QString MinutesText(std::int32_t minutes) {
    return QString::asprintf("%.2d:%.2d", minutes / 60, minutes % 60);
}

bool WeeklyOverlaps(std::uint8_t days, std::int32_t startMinute, std::int32_t length,
                    std::int64_t from, std::int64_t to) {
    const std::int64_t day = FloorDiv(from, kMinutesPerDay);
    const std::int64_t sunday = day - FloorMod(day - 1, 7);
    const auto hits = [&](std::int64_t occurrence) {
        return (from <= occurrence && occurrence < to) ||
               (occurrence <= from && from < occurrence + length);
    };
    for (int d = 0; d < 7; ++d) {
        if ((days & (1u << d)) == 0) {
            continue;
        }
        std::int64_t occurrence = (sunday + d) * kMinutesPerDay + startMinute;
        if (hits(occurrence)) {
            return true;
        }
        occurrence += occurrence > from ? -kMinutesPerWeek : kMinutesPerWeek;
        if (hits(occurrence)) {
            return true;
        }
    }
    return false;
}

namespace {

// Days from 30 December 1899 to 1 January 1970.
constexpr std::int64_t kUnixEpochDay = 25569;
constexpr std::int64_t kMsPerMinute = 60000;
// Offsets from UTC never reach 14 hours, so a day either side of a moment holds every offset
// that moment's wall-clock time can have.
constexpr std::int64_t kOffsetSpan = kMinutesPerDay;

std::int64_t OffsetMinutes(const QTimeZone& zone, std::int64_t instantMinute) {
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(
        (instantMinute - kUnixEpochDay * kMinutesPerDay) * kMsPerMinute, QTimeZone::utc());
    return zone.offsetFromUtc(at) / 60;
}

}  // namespace

std::int64_t NearestInstantMinute(std::int64_t msecsSinceEpoch) {
    return FloorDiv(msecsSinceEpoch + kMsPerMinute / 2, kMsPerMinute) +
           kUnixEpochDay * kMinutesPerDay;
}

std::int64_t WallMinute(const QTimeZone& zone, std::int64_t instantMinute) {
    return instantMinute + OffsetMinutes(zone, instantMinute);
}

std::int64_t InstantOfWallMinute(const QTimeZone& zone, std::int64_t wallMinute) {
    const std::int64_t before = OffsetMinutes(zone, wallMinute - kOffsetSpan);
    const std::int64_t after = OffsetMinutes(zone, wallMinute + kOffsetSpan);
    std::optional<std::int64_t> earliest;
    for (const std::int64_t offset : {before, after}) {
        const std::int64_t instant = wallMinute - offset;
        if (OffsetMinutes(zone, instant) == offset && (!earliest || instant < *earliest)) {
            earliest = instant;
        }
    }
    if (earliest) {
        return *earliest;
    }
    // Skipped by the clocks: the wall minute lies between the instants the two offsets give,
    // and the jump happens in that span.
    std::int64_t low = wallMinute - std::max(before, after);
    std::int64_t high = wallMinute - std::min(before, after);
    while (low < high) {
        const std::int64_t mid = low + (high - low) / 2;
        if (WallMinute(zone, mid) > wallMinute) {
            high = mid;
        } else {
            low = mid + 1;
        }
    }
    return low;
}

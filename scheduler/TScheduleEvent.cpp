#include "scheduler/TScheduleEvent.h"

#include <QDateTime>
#include <algorithm>
#include <atomic>

#include "platform/Formats.h"
#include "scheduler/ScheduleTime.h"
#include "services/CsvFields.h"

namespace {

constexpr int kFieldCount = 10;
constexpr std::uint8_t kDayBits = 0x7F;

// Lone surrogates never come out of UTF-8 decoding, so they can mark things inside a line: the
// splitter gives U+00FF back as a blank, and it hides how many fields the line really had.
constexpr QChar kKeptFF = QChar(0xDC00);
constexpr QChar kLineEnd = QChar(0xDC01);

// The fields of a line as the splitter reads them, without padding.
QStringList SplitLine(QString line) {
    line.replace(QChar(0x00FF), kKeptFF);
    line += u',';
    line += kLineEnd;
    QStringList fields = SplitFields(line, static_cast<int>(line.size()) + 1);
    qsizetype count = 0;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        QString& field = fields[i];
        if (field.endsWith(kLineEnd)) {
            // An unclosed quoted field runs to the end of the line and takes the mark with it.
            count = field.size() == 1 ? i : i + 1;
            field.chop(2);
            break;
        }
    }
    fields.resize(count);
    for (QString& field : fields) {
        field.replace(kKeptFF, QChar(0x00FF));
    }
    return fields;
}

std::optional<std::uint8_t> ByteField(const QString& text) {
    const std::int32_t value = ParseInt32Field(text);
    if (value < 0 || value > 255) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(value);
}

QString Hex(std::uint64_t value, int digits) {
    return QString::number(static_cast<qulonglong>(value), 16)
        .toUpper()
        .rightJustified(digits, u'0');
}

// Milliseconds since 1 January of year 1, local time; later than every identity given out before
// so that events made within one millisecond stay apart.
QString NewEventID() {
    static std::atomic<std::int64_t> last{0};
    const QDateTime now = QDateTime::currentDateTime();
    const std::int64_t ms =
        QDate(1, 1, 1).daysTo(now.date()) * 86400000LL + now.time().msecsSinceStartOfDay();
    std::int64_t previous = last.load();
    std::int64_t id = 0;
    do {
        id = std::max(ms, previous + 1);
    } while (!last.compare_exchange_weak(previous, id));
    return u'$' + Hex(static_cast<std::uint64_t>(id), 12);
}

}  // namespace

TScheduleEvent::TScheduleEvent() : EventID(NewEventID()) {}

QString TScheduleEvent::AsText(const TServiceTablesWrapper& tables) const {
    TServiceKeyParts key = serviceKey_;
    if (const std::uint32_t sid = tables.GetServiceSId(ServiceID); sid != 0) {
        key = {sid, tables.GetServiceSecondary(ServiceID)};
    }
    const QString date = IsWeekly() ? QString() : FormatDate(DateOfDay(WholeDays(Date)));
    return JoinFields({EventID, u'$' + Hex(Days, 2), date, MinutesText(StartMinute),
                       MinutesText(LengthMinutes), u'$' + Hex(key.SId, 4), FileName,
                       QString::number(AppendDate), QString::number(AppendTime),
                       QString::number(key.Secondary)});
}

bool TScheduleEvent::LoadFromText(const QString& line, const TServiceTablesWrapper& tables) {
    const QStringList f = SplitLine(line);
    if (f.size() < kFieldCount) {
        return false;
    }
    const auto days = ByteField(f[1]);
    const auto start = MinutesFromText(f[3], true);
    const auto length = MinutesFromText(f[4], false);
    const auto appendDate = ByteField(f[7]);
    const auto appendTime = ByteField(f[8]);
    if (!days || !start || !length || !appendDate || !appendTime) {
        return false;
    }
    const std::optional<QDate> date = ParseDate(f[2]);
    EventID = f[0];
    Days = *days;
    Date = date ? static_cast<double>(DayOfDate(*date)) : 0.0;
    StartMinute = *start;
    LengthMinutes = *length;
    FileName = f[6];
    AppendDate = *appendDate;
    AppendTime = *appendTime;
    serviceKey_ = {ParseUInt32Field(f[5]), ParseInt32Field(f[9])};
    ServiceID = tables.FindService(serviceKey_.SId, serviceKey_.Secondary);
    return true;
}

void TScheduleEvent::Assign(const TScheduleEvent& source) {
    *this = source;
}

void TScheduleEvent::ResolveService(const TServiceTablesWrapper& tables) {
    if (const std::uint32_t sid = tables.GetServiceSId(ServiceID); sid != 0) {
        serviceKey_ = {sid, tables.GetServiceSecondary(ServiceID)};
    } else {
        ServiceID = tables.FindService(serviceKey_.SId, serviceKey_.Secondary);
    }
}

bool TScheduleEvent::IsWeekly() const {
    return (Days & kDayBits) != 0;
}

double TScheduleEvent::StartTime() const {
    if (IsWeekly()) {
        return 0;
    }
    return static_cast<double>(WholeDays(Date) * kMinutesPerDay + StartMinute) / kMinutesPerDay;
}

double TScheduleEvent::EndTime() const {
    if (IsWeekly()) {
        return 0;
    }
    return static_cast<double>(WholeDays(Date) * kMinutesPerDay + StartMinute + LengthMinutes) /
           kMinutesPerDay;
}

bool TScheduleEvent::OccursAt(std::int32_t minute, double date) const {
    if (minute != StartMinute) {
        return false;
    }
    if (IsWeekly()) {
        return (Days & (1u << (DayOfWeek(date) - 1))) != 0;
    }
    return WholeDays(Date) == WholeDays(date);
}

bool TScheduleEvent::Overlaps(double start, double duration) const {
    const std::int64_t from = MinuteCount(start);
    const std::int64_t to = from + MinuteCount(duration);
    if (IsWeekly()) {
        return WeeklyOverlaps(Days, StartMinute, LengthMinutes, from, to);
    }
    const std::int64_t s = WholeDays(Date) * kMinutesPerDay + StartMinute;
    const std::int64_t e = s + LengthMinutes;
    return (s >= from && s < to) || (s <= from && e > from);
}

#include "scheduler/TScheduleWrapper.h"

#include <sys/stat.h>
#include <QFile>
#include <QSaveFile>
#include <algorithm>

#include "platform/Dialogs.h"
#include "scheduler/ScheduleTime.h"
#include "services/CsvFields.h"
#include "services/DamagedFile.h"
#include "services/TServiceTablesWrapper.h"

namespace {

const QString kFileName = QStringLiteral("Schedule.csv");
constexpr QChar kByteOrderMark = QChar(0xFEFF);

// Moves every day of `days` by `shift` days (negative: earlier), round the week.
std::uint8_t ShiftDays(std::uint8_t days, std::int64_t shift) {
    const auto k = static_cast<unsigned>(FloorMod(shift, 7));
    const unsigned mask = days & 0x7Fu;
    return static_cast<std::uint8_t>(((mask << k) | (mask >> ((7 - k) % 7))) & 0x7Fu);
}

QTime TimeOfMinute(std::int64_t minuteOfDay) {
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(minuteOfDay * 60000));
}

// The machine must run the program a minute before the recording starts; a weekly trigger at
// 00:00 thus moves to the day before at 23:59.
TWakeupTrigger TriggerOf(const TScheduleEvent& event) {
    const std::int64_t before = std::int64_t{event.StartMinute} - 1;
    TWakeupTrigger trigger;
    if (event.IsWeekly()) {
        trigger.Days = ShiftDays(event.Days, FloorDiv(before, kMinutesPerDay));
        trigger.TimeOfDay = TimeOfMinute(FloorMod(before, kMinutesPerDay));
    } else {
        const std::int64_t at = WholeDays(event.Date) * kMinutesPerDay + before;
        trigger.Date = DateOfDay(FloorDiv(at, kMinutesPerDay));
        trigger.TimeOfDay = TimeOfMinute(FloorMod(at, kMinutesPerDay));
    }
    return trigger;
}

QString SortKey(const TScheduleEvent& event) {
    const auto hex = [](std::uint32_t value, int digits) {
        return QString::number(value, 16).toUpper().rightJustified(digits, u'0');
    };
    return hex(static_cast<std::uint32_t>(event.StartMinute), 3) +
           DateOfDay(WholeDays(event.Date)).toString(QStringLiteral("yyyyMMdd")) +
           hex(static_cast<std::uint32_t>(event.ServiceID), 4);
}

}  // namespace

TScheduleWrapper::TScheduleWrapper(const TServiceTablesWrapper& tables, TWakeupSink& wakeup)
    : tables_(tables),
      wakeup_(wakeup),
      filePath_(tables.Folder() + u'/' + kFileName),
      tablesChange_(tables.ChangeCount()) {
    LoadIfChanged();
}

TScheduleWrapper::~TScheduleWrapper() = default;

int TScheduleWrapper::Count() const {
    return static_cast<int>(events_.size());
}

TScheduleEvent* TScheduleWrapper::GetEvent(int index) {
    return index >= 0 && index < Count() ? events_[index].get() : nullptr;
}

const TScheduleEvent* TScheduleWrapper::GetEvent(int index) const {
    return index >= 0 && index < Count() ? events_[index].get() : nullptr;
}

void TScheduleWrapper::AddEvent(std::unique_ptr<TScheduleEvent> event) {
    event->ResolveService(tables_);
    events_.push_back(std::move(event));
}

std::unique_ptr<TScheduleEvent> TScheduleWrapper::DeleteEvent(int index) {
    if (index < 0 || index >= Count()) {
        return nullptr;
    }
    std::unique_ptr<TScheduleEvent> event = std::move(events_[index]);
    events_.erase(events_.begin() + index);
    return event;
}

void TScheduleWrapper::ClearEvents() {
    events_.clear();
}

// ---- The file -------------------------------------------------------------------------------

std::optional<TScheduleWrapper::FileStamp> TScheduleWrapper::ReadStamp() const {
    struct stat info {};
    if (::stat(QFile::encodeName(filePath_).constData(), &info) != 0) {
        return std::nullopt;
    }
    return FileStamp{info.st_mtim.tv_sec, info.st_mtim.tv_nsec, info.st_dev, info.st_ino,
                     info.st_size};
}

void TScheduleWrapper::LoadIfChanged() {
    // A save replaces the file, so a new inode shows it even within the clock's resolution.
    const std::optional<FileStamp> stamp = ReadStamp();
    if (stamp && stamp != loadedStamp_) {
        if (LoadFile()) {
            loadedStamp_ = stamp;
        }
        return;
    }
    // A rescan gives every service a new ServiceID; edits not yet saved must survive it, so the
    // events are looked up again rather than read again.
    const std::uint64_t change = tables_.ChangeCount();
    if (change != tablesChange_) {
        tablesChange_ = change;
        for (const auto& event : events_) {
            event->ResolveService(tables_);
        }
    }
}

void TScheduleWrapper::Reload() {
    loadedStamp_.reset();
    LoadIfChanged();
}

bool TScheduleWrapper::LoadFile() {
    // What a failed read skips would be lost at the next save: the file is kept aside first.
    QFile file(filePath_);
    if (!file.open(QIODevice::ReadOnly)) {
        if (file.exists()) {
            DamagedFile::Keep(filePath_, false, Dialogs::Instance());
        }
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        DamagedFile::Keep(filePath_, false, Dialogs::Instance());
        return false;
    }
    ClearEvents();
    tablesChange_ = tables_.ChangeCount();
    bool first = true;
    for (QString line : SplitTextLines(QString::fromUtf8(bytes))) {
        if (first && line.startsWith(kByteOrderMark)) {
            line.remove(0, 1);
        }
        first = false;
        if (line.isEmpty() || line.startsWith(u';')) {
            continue;
        }
        auto event = std::make_unique<TScheduleEvent>();
        if (!event->LoadFromText(line, tables_)) {
            DamagedFile::Keep(filePath_, true, Dialogs::Instance());
            return false;
        }
        events_.push_back(std::move(event));
    }
    return true;
}

bool TScheduleWrapper::SaveFile() {
    QByteArray bytes;
    for (const auto& event : events_) {
        bytes += event->AsText(tables_).toUtf8();
        bytes += "\r\n";
    }
    QSaveFile file(filePath_);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void TScheduleWrapper::UpdateWakeupTask() {
    QList<TWakeupTrigger> triggers;
    triggers.reserve(static_cast<qsizetype>(events_.size()));
    for (const auto& event : events_) {
        triggers.append(TriggerOf(*event));
    }
    wakeup_.ReplaceTriggers(triggers);
}

void TScheduleWrapper::Save() {
    try {
        SaveFile();
    } catch (...) {
    }
    try {
        UpdateWakeupTask();
    } catch (...) {
    }
}

// ---- Order and queries ----------------------------------------------------------------------

void TScheduleWrapper::SortEvents() {
    std::vector<std::pair<QString, std::unique_ptr<TScheduleEvent>>> keyed;
    keyed.reserve(events_.size());
    for (auto& event : events_) {
        QString key = SortKey(*event);
        keyed.emplace_back(std::move(key), std::move(event));
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        return QString::compare(a.first, b.first, Qt::CaseInsensitive) < 0;
    });
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        events_[i] = std::move(keyed[i].second);
    }
}

void TScheduleWrapper::GetEventsAt(QList<const TScheduleEvent*>& list, std::int32_t minute,
                                   double date) const {
    list.clear();
    for (const auto& event : events_) {
        if (event->OccursAt(minute, date)) {
            list.append(event.get());
        }
    }
}

void TScheduleWrapper::GetOneOffEvents(QList<const TScheduleEvent*>& list) const {
    list.clear();
    for (const auto& event : events_) {
        if (!event->IsWeekly()) {
            list.append(event.get());
        }
    }
}

void TScheduleWrapper::GetPastEvents(QList<int>& list, double today) const {
    list.clear();
    const std::int64_t day = WholeDays(today);
    for (int i = 0; i < Count(); ++i) {
        if (!events_[i]->IsWeekly() && WholeDays(events_[i]->Date) < day) {
            list.append(i);
        }
    }
}

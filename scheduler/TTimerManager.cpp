#include "scheduler/TTimerManager.h"

#include <QThread>
#include <exception>

#include "platform/Dialogs.h"
#include "receiver/TMainControl.h"
#include "recording/RecorderFactory.h"
#include "recording/TRecorder.h"
#include "scheduler/ScheduleTime.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"

TTimerManager* TimerManager = nullptr;

namespace {

constexpr int kRefusalBeeps = 3;
// Started occurrences are remembered this long (minutes): past any repeated hour.
constexpr std::int64_t kStartedMemory = 2 * kMinutesPerDay;

// The name's extension with its dot, looked for after the last "/" only.
qsizetype ExtensionStart(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > name.lastIndexOf(u'/') ? dot : -1;
}

QString ReplaceExtension(const QString& name, const QString& extension) {
    const qsizetype dot = ExtensionStart(name);
    return (dot < 0 ? name : name.left(dot)) + extension;
}

}  // namespace

TTimerManager::TTimerManager(TMainControl& control, TServiceTablesWrapper& tables,
                             TSettingsWrapper& settings, TWakeupSink& wakeup, TTimerClock clock,
                             Beep beep, QObject* parent)
    : QObject(parent),
      control_(control),
      tables_(tables),
      settings_(settings),
      wakeup_(wakeup),
      clock_(std::move(clock)),
      beep_(std::move(beep)),
      Schedule(tables, wakeup) {
    // A coarse timer may fire seconds off for a minute's interval.
    MinuteTimer.setTimerType(Qt::PreciseTimer);
    MinuteTimer.setSingleShot(true);
    connect(&MinuteTimer, &QTimer::timeout, this, [this] { MinuteTimerTimer(); });
    Arm(clock_.NowMs());
}

TTimerManager::~TTimerManager() {
    AssertMainThread();
    MinuteTimer.stop();
    for (TTimerRecording& recording : TimedRecordings) {
        try {
            control_.RemoveRecorder(recording.Recorder.get());
        } catch (...) {
            // The controller has let go all the same; the file is closed as the recorder goes.
        }
    }
    TimedRecordings.clear();
}

void TTimerManager::AssertMainThread() const {
    Q_ASSERT(QThread::currentThread() == thread());
}

void TTimerManager::Arm(std::int64_t nowMs) {
    const std::int64_t seconds = FloorMod(FloorDiv(nowMs, 1000), 60);
    MinuteTimer.start(static_cast<int>(60001 - 1000 * seconds));
}

void TTimerManager::MinuteTimerTimer() {
    AssertMainThread();
    if (inTick_) {
        return;
    }
    inTick_ = true;
    std::int64_t nowMs = clock_.NowMs();
    for (std::int64_t t = NearestInstantMinute(nowMs); t != LastMinute;
         t = NearestInstantMinute(nowMs)) {
        // Noted first: a message box below runs an event loop in which this timer fires again.
        LastMinute = t;
        Dialogs::ShowFailures([&] { ProcessMinute(t); });
        // A box may have held the tick past the minute.
        nowMs = clock_.NowMs();
    }
    inTick_ = false;
    Arm(nowMs);
}

void TTimerManager::ProcessMinute(std::int64_t t) {
    AssertMainThread();
    if (!TimedRecordings.empty()) {
        StopDueRecordings(t);
    }
    if (settings_.ReadBool(Setting::TimerEnabled)) {
        StartDueEvents(t);
        Dialogs::ShowFailures([&] { PreTune(t); });
    }
}

void TTimerManager::StopDueRecordings(std::int64_t t) {
    AssertMainThread();
    for (auto i = static_cast<std::ptrdiff_t>(TimedRecordings.size()) - 1; i >= 0; --i) {
        if (TimedRecordings[static_cast<std::size_t>(i)].StopTime > t) {
            continue;
        }
        std::unique_ptr<TRecorder> recorder =
            std::move(TimedRecordings[static_cast<std::size_t>(i)].Recorder);
        TimedRecordings.erase(TimedRecordings.begin() + i);
        // The controller lets go even when the receiver fails; the recorder goes either way.
        Dialogs::ShowFailures([&] { control_.RemoveRecorder(recorder.get()); });
    }
}

QString TTimerManager::OccurrenceKey(const TScheduleEvent& event, std::int64_t wallMinute) {
    // Identities are copied by hand at times: the service and file keep such events apart.
    return event.EventID + u'|' + QString::number(event.ServiceID) + u'|' + event.FileName + u'|' +
           QString::number(wallMinute);
}

void TTimerManager::StartDueEvents(std::int64_t t) {
    AssertMainThread();
    Schedule.LoadIfChanged();
    std::erase_if(started_, [t](const auto& entry) { return entry.second < t - kStartedMemory; });
    const std::int64_t wall = WallMinute(clock_.Zone, t);
    const std::int64_t before = WallMinute(clock_.Zone, t - 1);
    // When the clocks jump forward the minutes they skip start now.
    const std::int64_t first =
        wall - before > 1 && wall - before <= kMinutesPerDay ? before + 1 : wall;
    std::vector<Occurrence> due;
    for (std::int64_t w = first; w <= wall; ++w) {
        Schedule.GetEventsAt(found_, static_cast<std::int32_t>(FloorMod(w, kMinutesPerDay)),
                             static_cast<double>(FloorDiv(w, kMinutesPerDay)));
        for (const TScheduleEvent* event : found_) {
            if (started_.try_emplace(OccurrenceKey(*event, w), t).second) {
                due.push_back({event->ServiceID, event->FileName, event->LengthMinutes,
                               event->AppendDate, event->AppendTime});
            }
        }
    }
    for (const Occurrence& o : due) {
        Dialogs::ShowFailures([&] {
            StartTimedRecording(o.ServiceID, o.FileName, o.LengthMinutes, o.AppendDate,
                                o.AppendTime, t);
        });
    }
}

void TTimerManager::PreTune(std::int64_t t) {
    AssertMainThread();
    const std::int64_t next = WallMinute(clock_.Zone, t + 1);
    Schedule.GetEventsAt(found_, static_cast<std::int32_t>(FloorMod(next, kMinutesPerDay)),
                         static_cast<double>(FloorDiv(next, kMinutesPerDay)));
    for (const TScheduleEvent* event : found_) {
        // An occurrence that already ran (the repeated hour) does not count.
        if (started_.contains(OccurrenceKey(*event, next))) {
            continue;
        }
        const double frequency = tables_.GetServiceFrequency(event->ServiceID);
        if (frequency != 0 && control_.CanUseService(event->ServiceID, false)) {
            control_.TuneFrequency(frequency);
        }
        return;
    }
}

void TTimerManager::StartTimedRecording(std::int32_t serviceId, const QString& fileName,
                                        std::int32_t length, std::uint8_t appendDate,
                                        std::uint8_t appendTime, std::int64_t t) {
    AssertMainThread();
    // A service the tables lost would make a file no audio ever reaches.
    if (serviceId == 0 || tables_.GetServiceFrequency(serviceId) == 0 ||
        !control_.CanUseService(serviceId, true)) {
        beep_(kRefusalBeeps);
        return;
    }
    const QString name =
        TimedFileName(fileName, appendDate, appendTime, WallMinute(clock_.Zone, t));
    TimedRecordings.push_back(
        {CreateRecorder(serviceId, name, tables_, settings_), t + std::int64_t{length}});
    control_.AddRecorder(TimedRecordings.back().Recorder.get());
}

QString TTimerManager::TimedFileName(const QString& fileName, std::uint8_t appendDate,
                                     std::uint8_t appendTime, std::int64_t wallMinute) {
    const QDate date = DateOfDay(FloorDiv(wallMinute, kMinutesPerDay));
    const QTime time = QTime::fromMSecsSinceStartOfDay(
        static_cast<int>(FloorMod(wallMinute, kMinutesPerDay)) * 60000);
    const qsizetype dot = ExtensionStart(fileName);
    const QString extension = dot < 0 ? QString() : fileName.mid(dot);
    QString name = fileName;
    if (appendDate == 1) {
        name = ReplaceExtension(name, date.toString(QStringLiteral(" dd-MM-yyyy")) + extension);
    }
    if (appendTime == 1) {
        name = ReplaceExtension(name, time.toString(QStringLiteral(" hh-mm")) + extension);
    }
    QString prefix;
    if (appendTime == 2) {
        prefix = time.toString(QStringLiteral("hhmm "));
    }
    if (appendDate == 2 && appendTime != 2) {
        prefix = u' ' + prefix;
    }
    if (appendDate == 2) {
        // Year, day, month: the order recordings have always been named in.
        prefix = date.toString(QStringLiteral("yyyyddMM")) + prefix;
    }
    if (!prefix.isEmpty()) {
        const qsizetype slash = name.lastIndexOf(u'/');
        name = name.left(slash + 1) + prefix + name.mid(slash + 1);
    }
    return name;
}

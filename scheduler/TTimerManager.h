#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "scheduler/TScheduleWrapper.h"
#include "scheduler/TTimerClock.h"

class TMainControl;
class TRecorder;
class TServiceTablesWrapper;
class TSettingsWrapper;

// Turns the schedule into recordings. A precise timer ticks just after every minute turns; each
// new minute stops the timed recordings whose time is up and, while "TimerEnabled" is set,
// starts the events of that minute and tunes early for the next minute's first event.
//
// Times are instants in whole minutes (scheduler/ScheduleTime.h); events are matched on the
// wall clock of the clock's zone. A recording lasts its length in real time, also across a
// daylight-saving change, and an occurrence (event, local date and minute) starts at most once,
// so the hour repeated when the clocks go back starts nothing again. Minutes the clocks skip
// start their events when the clocks jump.
//
// Owns its timed recordings; the tuning controller only feeds them. Main thread only (debug
// builds assert it).
class TTimerManager : public QObject {
    Q_OBJECT

public:
    // Sounds the refusal of a timed recording `times` times.
    using Beep = std::function<void(int times)>;

    // Loads "Schedule.csv" and arms the timer. The collaborators are not owned and must outlive
    // the manager; the schedule hands its wake-up triggers to `wakeup` when it is saved.
    TTimerManager(TMainControl& control, TServiceTablesWrapper& tables, TSettingsWrapper& settings,
                  TWakeupSink& wakeup, TTimerClock clock, Beep beep, QObject* parent = nullptr);
    // Stops every timed recording, so each file is closed or converted.
    ~TTimerManager() override;
    TTimerManager(const TTimerManager&) = delete;
    TTimerManager& operator=(const TTimerManager&) = delete;

    // The timer's tick, also run at once after the system resumes: processes the minute nearest
    // to now unless it was processed already, then re-arms. A tick inside one (from the event
    // loop of a message box) does nothing; the outer one goes on to the minute it then is.
    // Failures are shown in an error box.
    void MinuteTimerTimer();
    // The work of the minute starting at instant `t`.
    void ProcessMinute(std::int64_t t);
    // Stops and frees the timed recordings whose stop time is `t` or earlier.
    void StopDueRecordings(std::int64_t t);
    // Starts the events of the wall-clock minute of `t` (re-reading the schedule when it was
    // saved since) that have not started yet.
    void StartDueEvents(std::int64_t t);
    // Tunes to the multiplex of the first event of the next minute when nothing recording or
    // streaming elsewhere is disturbed.
    void PreTune(std::int64_t t);
    // Records `serviceId` from `t` for `length` minutes. A service the tables do not know, or one
    // the receiver cannot tune without disturbing a recording on another multiplex, beeps three
    // times and touches no file. Receiver failures (ReceiverError) reach the caller.
    void StartTimedRecording(std::int32_t serviceId, const QString& fileName, std::int32_t length,
                             std::uint8_t appendDate, std::uint8_t appendTime, std::int64_t t);

    // The recording's file name: `fileName` with the date and time of `wallMinute` (a wall-clock
    // minute) added at its end (mode 1) or its start (mode 2), or neither (mode 0).
    static QString TimedFileName(const QString& fileName, std::uint8_t appendDate,
                                 std::uint8_t appendTime, std::int64_t wallMinute);

    int TimedRecordingCount() const { return static_cast<int>(TimedRecordings.size()); }
    // The last minute processed (an instant); 0 before the first.
    std::int64_t LastMinuteProcessed() const { return LastMinute; }
    // Milliseconds until the next tick, as last armed.
    int MinuteTimerInterval() const { return MinuteTimer.interval(); }
    // Where schedules that are edited elsewhere send their wake-up triggers.
    TWakeupSink& Wakeup() const { return wakeup_; }

private:
    struct TTimerRecording {
        std::unique_ptr<TRecorder> Recorder;
        std::int64_t StopTime = 0;  // instant minute
    };
    struct Occurrence {
        std::int32_t ServiceID = 0;
        QString FileName;
        std::int32_t LengthMinutes = 0;
        std::uint8_t AppendDate = 0;
        std::uint8_t AppendTime = 0;
    };

    void AssertMainThread() const;
    // Interval 60001 - 1000 x (seconds of `nowMs`) ms: the next tick falls just after the minute.
    void Arm(std::int64_t nowMs);
    // Key of an occurrence: the event and the wall-clock minute it starts at.
    static QString OccurrenceKey(const TScheduleEvent& event, std::int64_t wallMinute);

    TMainControl& control_;
    TServiceTablesWrapper& tables_;
    TSettingsWrapper& settings_;
    TWakeupSink& wakeup_;
    TTimerClock clock_;
    Beep beep_;

    QTimer MinuteTimer;
    TScheduleWrapper Schedule;
    std::vector<TTimerRecording> TimedRecordings;
    std::int64_t LastMinute = 0;
    bool inTick_ = false;
    // Occurrences started lately, with the instant they started at.
    std::map<QString, std::int64_t> started_;
    QList<const TScheduleEvent*> found_;
};

// The one instance of the running program (null in tests that build their own).
extern TTimerManager* TimerManager;

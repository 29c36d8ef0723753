#pragma once

#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <functional>

#include "scheduler/TWakeupSink.h"

// Runs `program` with `arguments` and waits for it: its exit code, or -1 when it could not be
// started, crashed or did not end in time.
using TProcessRunner = std::function<int(const QString& program, const QStringList& arguments)>;

// Starts (and wakes) the machine for timed recordings through a systemd user timer: the units
// "tunora-timer-wakeup.service" (runs the program with "TIMERWAKEUP") and ".timer" (one
// OnCalendar= line per trigger), then enables and restarts the timer with `systemctl --user`.
// Weekly triggers are local wall-clock times; one-offs are written as UTC instants, since a
// local time the clocks skip never elapses. The service is never stopped: it may be the running
// program. Every failure is dropped. Main thread.
class TSystemdWakeup : public TWakeupSink {
public:
    static const QString kServiceName;
    static const QString kTimerName;

    // `executable` is the program's full path; the units go into `unitFolder`; `zone` is the
    // zone of the triggers' wall-clock times; `runner` runs systemctl.
    TSystemdWakeup(QString executable, QString unitFolder, QTimeZone zone, TProcessRunner runner);

    // An empty list disables the timer and removes both units.
    void ReplaceTriggers(const QList<TWakeupTrigger>& triggers) override;

    // $XDG_CONFIG_HOME/systemd/user (~/.config when unset).
    static QString UserUnitFolder();
    // Runs programs through QProcess, each limited to `timeoutMs`.
    static TProcessRunner ProcessRunner(int timeoutMs);

private:
    int Systemctl(const QStringList& arguments) const;
    bool WriteUnit(const QString& name, const QString& text) const;
    QString ServiceText() const;
    QString TimerText(const QList<TWakeupTrigger>& triggers, bool wakeSystem) const;
    QString CalendarOf(const TWakeupTrigger& trigger) const;

    QString executable_;
    QString folder_;
    QTimeZone zone_;
    TProcessRunner runner_;
};

#include "scheduler/TSystemdWakeup.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>

#include "platform/XdgFolders.h"
#include "scheduler/ScheduleTime.h"

const QString TSystemdWakeup::kServiceName = QStringLiteral("tunora-timer-wakeup.service");
const QString TSystemdWakeup::kTimerName = QStringLiteral("tunora-timer-wakeup.timer");

namespace {

const QString kDescription = QStringLiteral("Tunora Timer Wakeup");
const QString kComment =
    QStringLiteral("This will run Tunora when a timed recording is scheduled.");
const char* const kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

// systemd expands "%" specifiers in most settings.
QString EscapeSpecifiers(QString text) {
    return text.replace(u'%', QStringLiteral("%%"));
}

// One ExecStart= word: quoted, with C escapes, specifiers and variables kept literal.
QString QuoteWord(const QString& word) {
    QString quoted = QStringLiteral("\"");
    for (const QChar c : word) {
        switch (c.unicode()) {
            case u'\\':
                quoted += QStringLiteral("\\\\");
                break;
            case u'"':
                quoted += QStringLiteral("\\\"");
                break;
            case u'\n':
                quoted += QStringLiteral("\\n");
                break;
            case u'%':
                quoted += QStringLiteral("%%");
                break;
            case u'$':
                quoted += QStringLiteral("$$");
                break;
            default:
                quoted += c;
        }
    }
    return quoted + u'"';
}

std::int64_t WallMinuteOf(const QDate& date, const QTime& time) {
    return DayOfDate(date) * kMinutesPerDay + time.msecsSinceStartOfDay() / 60000;
}

}  // namespace

TSystemdWakeup::TSystemdWakeup(QString executable, QString unitFolder, QTimeZone zone,
                               TProcessRunner runner)
    : executable_(std::move(executable)),
      folder_(std::move(unitFolder)),
      zone_(std::move(zone)),
      runner_(std::move(runner)) {}

QString TSystemdWakeup::UserUnitFolder() {
    return XdgFolders::ConfigHome() + QStringLiteral("/systemd/user");
}

TProcessRunner TSystemdWakeup::ProcessRunner(int timeoutMs) {
    return [timeoutMs](const QString& program, const QStringList& arguments) {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(program, arguments);
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    };
}

int TSystemdWakeup::Systemctl(const QStringList& arguments) const {
    return runner_(QStringLiteral("systemctl"), QStringList{QStringLiteral("--user")} + arguments);
}

bool TSystemdWakeup::WriteUnit(const QString& name, const QString& text) const {
    if (!QDir().mkpath(folder_)) {
        return false;
    }
    QSaveFile file(folder_ + u'/' + name);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString TSystemdWakeup::ServiceText() const {
    const QString folder = QFileInfo(executable_).absolutePath() + u'/';
    return QStringLiteral("[Unit]\nDescription=") + kDescription + QStringLiteral("\n# ") +
           kComment + QStringLiteral("\n\n[Service]\nType=simple\nWorkingDirectory=") +
           EscapeSpecifiers(folder) + QStringLiteral("\nExecStart=") + QuoteWord(executable_) +
           QStringLiteral(" TIMERWAKEUP\n");
}

QString TSystemdWakeup::CalendarOf(const TWakeupTrigger& trigger) const {
    if (trigger.Days != 0) {
        QStringList days;
        for (int d = 0; d < 7; ++d) {
            if ((trigger.Days & (1u << d)) != 0) {
                days.append(QLatin1String(kDayNames[d]));
            }
        }
        return days.join(u',') + QStringLiteral(" *-*-* ") +
               trigger.TimeOfDay.toString(QStringLiteral("hh:mm:00"));
    }
    // A minute before the instant the recording starts, which for a start the clocks skip is
    // the instant they jump.
    const std::int64_t start =
        InstantOfWallMinute(zone_, WallMinuteOf(trigger.Date, trigger.TimeOfDay) + 1);
    const QDateTime at =
        QDateTime(DateOfDay(0), QTime(0, 0), QTimeZone::utc()).addSecs((start - 1) * 60);
    return at.toString(QStringLiteral("yyyy-MM-dd hh:mm:00")) + QStringLiteral(" UTC");
}

QString TSystemdWakeup::TimerText(const QList<TWakeupTrigger>& triggers, bool wakeSystem) const {
    QString text =
        QStringLiteral("[Unit]\nDescription=") + kDescription + QStringLiteral("\n\n[Timer]\n");
    for (const TWakeupTrigger& trigger : triggers) {
        text += QStringLiteral("OnCalendar=") + CalendarOf(trigger) + u'\n';
    }
    // The default accuracy of a minute would start the program after its recording's minute.
    text += QStringLiteral("AccuracySec=1s\n");
    if (wakeSystem) {
        text += QStringLiteral("WakeSystem=true\n");
    }
    text += QStringLiteral("Persistent=false\nUnit=") + kServiceName +
            QStringLiteral("\n\n[Install]\nWantedBy=timers.target\n");
    return text;
}

void TSystemdWakeup::ReplaceTriggers(const QList<TWakeupTrigger>& triggers) {
    const QString service = folder_ + u'/' + kServiceName;
    const QString timer = folder_ + u'/' + kTimerName;
    if (triggers.isEmpty()) {
        if (!QFileInfo::exists(service) && !QFileInfo::exists(timer)) {
            return;
        }
        // Stopping the timer only: the service may be this very program.
        Systemctl({QStringLiteral("disable"), QStringLiteral("--now"), kTimerName});
        QFile::remove(timer);
        QFile::remove(service);
        Systemctl({QStringLiteral("daemon-reload")});
        return;
    }
    if (!WriteUnit(kServiceName, ServiceText()) ||
        !WriteUnit(kTimerName, TimerText(triggers, true))) {
        return;
    }
    Systemctl({QStringLiteral("daemon-reload")});
    Systemctl({QStringLiteral("enable"), kTimerName});
    Systemctl({QStringLiteral("restart"), kTimerName});
    // Waking needs CAP_WAKE_ALARM, which user managers before systemd 254 lack: such a timer
    // fails and would never fire. Without waking it still starts the program while awake.
    if (Systemctl({QStringLiteral("is-failed"), QStringLiteral("--quiet"), kTimerName}) != 0) {
        return;
    }
    if (!WriteUnit(kTimerName, TimerText(triggers, false))) {
        return;
    }
    Systemctl({QStringLiteral("daemon-reload")});
    Systemctl({QStringLiteral("restart"), kTimerName});
}

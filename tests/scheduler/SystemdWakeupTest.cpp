#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include "scheduler/TSystemdWakeup.h"
#include "tests/support/TestEnv.h"

namespace {

const QTimeZone kLondon("Europe/London");

QString Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Units in a fresh folder; systemctl is a double that notes each call and answers "is-failed"
// with `failed`.
class SystemdWakeupTest : public ::testing::Test {
protected:
    TSystemdWakeup Sink(const QString& executable) {
        return TSystemdWakeup(
            executable, folder, kLondon,
            [this](const QString& program, const QStringList& arguments) {
                calls.append(program + u' ' + arguments.join(u' '));
                return arguments.contains(QStringLiteral("is-failed")) && failed ? 0 : 1;
            });
    }
    QString Unit(const QString& name) const { return Read(folder + u'/' + name); }

    TestEnv env;
    QString folder = env.File(QStringLiteral("config/systemd/user"));
    QStringList calls;
    bool failed = false;
};

// The analyser, or empty when it is missing, which fails under CI (the dependency script
// installs it there).
QString Analyzer() {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
    if (tool.isEmpty() && qgetenv("CI") == "true") {
        ADD_FAILURE() << "systemd-analyze is not installed";
    }
    return tool;
}

}  // namespace

// The units are written byte for byte, weekly triggers in local time and one-offs in UTC, then
// enabled and restarted; a timer that fails (no right to wake) is written again without waking.
TEST_F(SystemdWakeupTest, UnitsAndCalls) {
    const QString head = QStringLiteral(
        "systemctl --user daemon-reload|systemctl --user enable tunora-timer-wakeup.timer|"
        "systemctl --user restart tunora-timer-wakeup.timer|"
        "systemctl --user is-failed --quiet tunora-timer-wakeup.timer");
    const struct {
        bool failed;
        const char* wake;
        QString calls;
    } cases[] = {
        {false, "WakeSystem=true\n", head},
        {true, "",
         head + QStringLiteral("|systemctl --user daemon-reload|"
                               "systemctl --user restart tunora-timer-wakeup.timer")},
    };
    for (const auto& c : cases) {
        calls.clear();
        failed = c.failed;
        Sink(QStringLiteral("/opt/My \"Radio\" $HOME 100%\\/tunora"))
            .ReplaceTriggers({{0x3E, QTime(7, 29), {}},
                              {0, QTime(23, 58), QDate(2026, 7, 4)},
                              {0x41, QTime(0, 0), {}}});
        EXPECT_EQ(Unit(TSystemdWakeup::kServiceName),
                  QStringLiteral("[Unit]\nDescription=Tunora Timer Wakeup\n"
                                 "# This will run Tunora when a timed recording is scheduled.\n\n"
                                 "[Service]\nType=simple\n"
                                 "WorkingDirectory=/opt/My \"Radio\" $HOME 100%%\\/\n"
                                 "ExecStart=\"/opt/My \\\"Radio\\\" $$HOME 100%%\\\\/tunora\" "
                                 "TIMERWAKEUP\n"));
        EXPECT_EQ(Unit(TSystemdWakeup::kTimerName),
                  QStringLiteral("[Unit]\nDescription=Tunora Timer Wakeup\n\n[Timer]\n"
                                 "OnCalendar=Mon,Tue,Wed,Thu,Fri *-*-* 07:29:00\n"
                                 "OnCalendar=2026-07-04 22:58:00 UTC\n"
                                 "OnCalendar=Sun,Sat *-*-* 00:00:00\n"
                                 "AccuracySec=1s\n") +
                      QLatin1String(c.wake) +
                      QStringLiteral("Persistent=false\nUnit=tunora-timer-wakeup.service\n\n"
                                     "[Install]\nWantedBy=timers.target\n"));
        EXPECT_EQ(calls.join(u'|'), c.calls);
    }
}

// An empty schedule stops and disables the timer (never the service) and removes both units;
// with no units there is nothing to run.
TEST_F(SystemdWakeupTest, EmptyScheduleRemovesTheUnits) {
    TSystemdWakeup sink = Sink(QStringLiteral("/usr/bin/tunora"));
    sink.ReplaceTriggers({{0x01, QTime(6, 0), {}}});
    for (const QString& expected :
         {QStringLiteral("systemctl --user disable --now tunora-timer-wakeup.timer|"
                         "systemctl --user daemon-reload"),
          QString()}) {
        calls.clear();
        sink.ReplaceTriggers({});
        EXPECT_EQ(calls.join(u'|'), expected);
        EXPECT_TRUE(QDir(folder).isEmpty());
    }
}

// systemd accepts the units of a program whose path holds a blank and a "%", and a one-off
// whose local time the clocks skip still has a next elapse.
TEST_F(SystemdWakeupTest, SystemdAcceptsTheUnits) {
    const QString analyzer = Analyzer();
    if (analyzer.isEmpty()) {
        GTEST_SKIP() << "systemd-analyze is not installed";
    }
    const QString program = env.File(QStringLiteral("my dir%x/tunora"));
    QDir().mkpath(env.File(QStringLiteral("my dir%x")));
    QFile script(program);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\n");
    script.setPermissions(script.permissions() | QFile::ExeOwner);
    script.close();
    Sink(program).ReplaceTriggers({{0x02, QTime(7, 0), {}}, {0, QTime(1, 29), QDate(2027, 3, 28)}});

    QProcess verify;
    verify.start(analyzer, {QStringLiteral("--user"), QStringLiteral("verify"),
                            folder + u'/' + TSystemdWakeup::kTimerName,
                            folder + u'/' + TSystemdWakeup::kServiceName});
    ASSERT_TRUE(verify.waitForFinished(30000));
    EXPECT_EQ(verify.exitCode(), 0) << verify.readAllStandardError().toStdString();

    const QString timer = Unit(TSystemdWakeup::kTimerName);
    ASSERT_TRUE(timer.contains(QStringLiteral("OnCalendar=2027-03-28 00:59:00 UTC\n")))
        << timer.toStdString();
    QProcess calendar;
    calendar.start(analyzer,
                   {QStringLiteral("calendar"), QStringLiteral("2027-03-28 00:59:00 UTC")});
    ASSERT_TRUE(calendar.waitForFinished(30000));
    const QByteArray said = calendar.readAllStandardOutput();
    EXPECT_TRUE(said.contains("Next elapse: Sun 2027-03-28 00:59:00 UTC")) << said.toStdString();
}

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <thread>

#include "LayerTwoStream.h"
#include "scheduler/TTimerManager.h"
#include "tests/support/Mpg123Reader.h"
#include "tests/support/ReceiverWorld.h"

namespace {

const QTimeZone kLondon("Europe/London");

QDateTime Utc(int y, int mo, int d, int h, int mi, int s = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc());
}
QDateTime London(int y, int mo, int d, int h, int mi, int s = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), kLondon);
}

// A box whose event loop fires the minute timer again, as a modal box does.
class NestedLoopDialogs : public ScriptedDialogs {
public:
    DialogResult MessageBox(DialogKind kind, const QString& text, DialogButtons buttons) override {
        if (whileOpen) {
            whileOpen();
        }
        return ScriptedDialogs::MessageBox(kind, text, buttons);
    }
    std::function<void()> whileOpen;
};

// The fake receiver on the demo air, a real controller and files in a fresh folder; the clock
// stands where the test puts it and the zone is London's.
class TimerTest : public ::testing::Test, public ReceiverWorld {
protected:
    TimerTest() {
        settings.WriteBool(Setting::TimerEnabled, true);
        QDir().mkpath(Path(QStringLiteral("rec")));
        Restart();
    }
    void Restart() {
        manager.reset();
        manager = std::make_unique<TTimerManager>(control, tables, settings, TWakeupSink::None(),
                                                  TTimerClock{[this] { return now; }, kLondon},
                                                  [this](int n) { beeps += n; });
    }
    void TickAt(const QDateTime& at) {
        now = at.toMSecsSinceEpoch();
        manager->MinuteTimerTimer();
    }
    // One line of Schedule.csv: a one-off on `date` ("dd/MM/yyyy"), or weekly on `days`.
    QByteArray Event(const char* date, const char* start, int length, const char* sid,
                     const QString& file, int appendDate = 0, int appendTime = 0,
                     const char* days = "$00") {
        return QStringLiteral(
                   "\"$%1\",\"%2\",\"%3\",\"%4\",\"%5\",\"$%6\",\"%7\",\"%8\",\"%9\",\"0\"\r\n")
            .arg(++ids)
            .arg(QLatin1String(days), QLatin1String(date), QLatin1String(start))
            .arg(length)
            .arg(QLatin1String(sid), Path(file))
            .arg(appendDate)
            .arg(appendTime)
            .toUtf8();
    }
    void Schedule(const QByteArray& lines) {
        QFile file(env.ProgramDir() + QStringLiteral("/Schedule.csv"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(lines);
    }
    bool Exists(const char* file) const { return QFileInfo::exists(Path(QLatin1String(file))); }

    std::int64_t now = 0;
    int beeps = 0;
    int ids = 0;
    std::unique_ptr<TTimerManager> manager;
};

}  // namespace

// Recordings start in their minute and stop after their length in real time: across midnight,
// across both daylight-saving changes, at the jump for a start the clocks skip, and once only
// in the hour the clocks repeat.
TEST_F(TimerTest, StartAndStopMinutes) {
    struct Case {
        const char* what;
        QByteArray schedule;
        QList<std::pair<QDateTime, int>> ticks;  // instant, timed recordings after it
    };
    const Case cases[] = {
        {"23:30 + 60",
         Event("05/12/2026", "23:30", 60, "C0DE", QStringLiteral("rec/a.mp2")),
         {{Utc(2026, 12, 5, 23, 29), 0},
          {Utc(2026, 12, 5, 23, 30), 1},
          {Utc(2026, 12, 6, 0, 29), 1},
          {Utc(2026, 12, 6, 0, 30), 0}}},
        {"weekly Saturday 23:59 + 1",
         Event("", "23:59", 1, "C0DE", "rec/w.mp2", 0, 0, "$40"),
         {{Utc(2026, 12, 5, 23, 59), 1},
          {Utc(2026, 12, 6, 0, 0), 0},
          {Utc(2026, 12, 12, 23, 59), 1}}},
        {"120 across the fall back",
         Event("25/10/2026", "00:30", 120, "C0DE", "rec/b.mp2"),
         {{Utc(2026, 10, 24, 23, 30), 1},
          {Utc(2026, 10, 25, 1, 29), 1},
          {Utc(2026, 10, 25, 1, 30), 0}}},
        {"120 across spring",
         Event("29/03/2026", "00:30", 120, "C0DE", "rec/c.mp2"),
         {{Utc(2026, 3, 29, 0, 30), 1},
          {Utc(2026, 3, 29, 2, 29), 1},
          {Utc(2026, 3, 29, 2, 30), 0}}},
        {"the repeated 01:30",
         Event("25/10/2026", "01:30", 10, "C0DE", "rec/d.mp2"),
         {{Utc(2026, 10, 25, 0, 30), 1},
          {Utc(2026, 10, 25, 0, 40), 0},
          {Utc(2026, 10, 25, 1, 30), 0}}},
        {"skipped 01:30",
         Event("29/03/2026", "01:30", 10, "C0DE", "rec/e.mp2"),
         {{Utc(2026, 3, 29, 0, 59), 0}, {Utc(2026, 3, 29, 1, 0), 1}, {Utc(2026, 3, 29, 1, 10), 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Schedule(c.schedule);
        Restart();
        for (const auto& [at, running] : c.ticks) {
            TickAt(at);
            EXPECT_EQ(manager->TimedRecordingCount(), running) << at.toString().toStdString();
        }
        EXPECT_EQ(control.RecordingCountValue(), c.ticks.last().second);
    }
    EXPECT_EQ(beeps, 0);
    EXPECT_FALSE(Exists("rec/d.bak"));
}

// The date and time go at the end of the name or, as "yyyyddmm" and "hhnn ", at its start.
TEST_F(TimerTest, FileNames) {
    const struct {
        const char* file;
        int date, time;
        const char* made;
    } cases[] = {
        {"rec/News.mp2", 1, 1, "rec/News 05-12-2026 14-30.mp2"},
        {"rec/News.mp2", 2, 2, "rec/202605121430 News.mp2"},
        {"rec/News.mp2", 2, 0, "rec/20260512 News.mp2"},
        {"rec/News.mp2", 0, 2, "rec/1430 News.mp2"},
        {"rec/Talk", 1, 1, "rec/Talk 05-12-2026 14-30"},
        {"rec/my.dir/Talk", 1, 0, "rec/my.dir/Talk 05-12-2026"},
    };
    QDir().mkpath(Path(QStringLiteral("rec/my.dir")));
    for (const auto& c : cases) {
        Schedule(Event("05/12/2026", "14:30", 5, "C0DE", QLatin1String(c.file), c.date, c.time));
        Restart();
        TickAt(London(2026, 12, 5, 14, 30));
        EXPECT_TRUE(Exists(c.made)) << c.made;
    }
}

// Two events of a minute on one multiplex both record; on two, the second beeps three times and
// leaves its file alone while the first goes on; so does a lone event whose service the tables
// do not know.
TEST_F(TimerTest, EventsOfOneMinute) {
    const struct {
        const char* sids[2];
        int recordings;
        int beeps;
    } cases[] = {{{"D001", "D002"}, 2, 0}, {{"C0DE", "D001"}, 1, 3}, {{nullptr, "BEEF"}, 0, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sids[1]);
        beeps = 0;
        Schedule((c.sids[0] ? Event("05/12/2026", "10:00", 5, c.sids[0], "rec/first.mp2") : "") +
                 Event("05/12/2026", "10:00", 5, c.sids[1], "rec/second.mp2"));
        QFile old(Path(QStringLiteral("rec/second.mp2")));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        QFile::remove(Path(QStringLiteral("rec/second.bak")));
        Restart();
        TickAt(London(2026, 12, 5, 10, 0));
        EXPECT_EQ(manager->TimedRecordingCount(), c.recordings);
        EXPECT_EQ(control.RecordingCountValue(), c.recordings);
        EXPECT_EQ(beeps, c.beeps);
        EXPECT_EQ(Exists("rec/second.bak"), c.beeps == 0);
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), c.beeps == 0 ? "" : "old");
        old.close();
    }
}

// Off, the timer neither starts nor tunes early, yet a running recording ends on time.
TEST_F(TimerTest, TurnedOff) {
    Schedule(Event("05/12/2026", "10:00", 2, "C0DE", "rec/a.mp2"));
    TickAt(London(2026, 12, 5, 10, 0));
    ASSERT_EQ(manager->TimedRecordingCount(), 1);
    settings.WriteBool(Setting::TimerEnabled, false);
    Schedule(Event("05/12/2026", "10:00", 2, "C0DE", "rec/a.mp2") +
             Event("05/12/2026", "10:01", 2, "C0DE", "rec/b.mp2") +
             Event("05/12/2026", "10:03", 2, "D001", "rec/c.mp2"));
    TickAt(London(2026, 12, 5, 10, 1));
    EXPECT_EQ(manager->TimedRecordingCount(), 1);
    TickAt(London(2026, 12, 5, 10, 2));
    EXPECT_EQ(manager->TimedRecordingCount(), 0);
    EXPECT_EQ(control.TunedFrequency(), k12B);
    EXPECT_FALSE(Exists("rec/b.mp2"));
}

// The next minute's event tunes early unless that disturbs a recording elsewhere; a schedule
// saved at 10:00:30 for 10:01 starts at 10:01; a tick at 10:01:40 (after a resume) processes
// 10:02, which the tick at 10:02 then leaves alone; each tick arms the timer for just after the
// next minute (60001 - 1000 x seconds ms).
TEST_F(TimerTest, PreTuneLateSaveAndResume) {
    const QByteArray b = Event("05/12/2026", "10:00", 1, "D001", "rec/b.mp2");
    Schedule(b);
    TickAt(London(2026, 12, 5, 9, 59));
    EXPECT_EQ(control.TunedFrequency(), k11D);
    TickAt(London(2026, 12, 5, 10, 0));
    EXPECT_EQ(manager->TimedRecordingCount(), 1);
    now = London(2026, 12, 5, 10, 0, 30).toMSecsSinceEpoch();
    Schedule(b + Event("05/12/2026", "10:01", 5, "D002", "rec/c.mp2") +
             Event("05/12/2026", "10:02", 5, "C0DE", "rec/e.mp2"));
    TickAt(London(2026, 12, 5, 10, 1));
    EXPECT_EQ(manager->TimedRecordingCount(), 1);
    EXPECT_TRUE(Exists("rec/c.mp2"));
    EXPECT_EQ(control.TunedFrequency(), k11D);
    TickAt(London(2026, 12, 5, 10, 1, 40));
    EXPECT_EQ(beeps, 3);
    EXPECT_EQ(manager->MinuteTimerInterval(), 20001);
    TickAt(London(2026, 12, 5, 10, 2).addMSecs(1));
    EXPECT_EQ(beeps, 3);
    EXPECT_EQ(manager->MinuteTimerInterval(), 60001);
}

// A box inside a tick whose loop fires the timer again processes the minute once: one recorder,
// no ".bak" of its file.
TEST_F(TimerTest, BoxInsideATick) {
    NestedLoopDialogs nested;
    nested.whileOpen = [&] { TickAt(London(2026, 12, 5, 10, 0, 20)); };
    fake.refused.insert(k12B);
    Schedule(Event("05/12/2026", "10:00", 5, "C0DE", "rec/a.mp2"));
    TickAt(London(2026, 12, 5, 10, 0));
    EXPECT_EQ(nested.boxes.size(), 1);
    EXPECT_EQ(manager->TimedRecordingCount(), 1);
    EXPECT_TRUE(Exists("rec/a.mp2"));
    EXPECT_FALSE(Exists("rec/a.bak"));
}

// Shutting down during a timed recording leaves a closed file that decodes whole.
TEST_F(TimerTest, ShutdownLeavesAPlayableFile) {
    Settle(k12B);
    Schedule(Event("05/12/2026", "10:00", 60, "C0DE", "rec/a.mp2"));
    TickAt(London(2026, 12, 5, 10, 0));
    const LayerTwoStream audio = MakeLayerTwo(48000, 2, 128, 2.0);
    std::thread receiver([&] {
        const auto* bytes = audio.Bytes.data();
        for (std::size_t at = 0; at + audio.FrameBytes <= audio.Bytes.size();
             at += audio.FrameBytes) {
            fake.Deliver(101, {bytes + at, bytes + at + audio.FrameBytes});
        }
    });
    receiver.join();
    manager.reset();
    EXPECT_EQ(control.RecordingCountValue(), 0);
    const Mpg123Reading reading = ReadMpegFile(Path(QStringLiteral("rec/a.mp2")));
    EXPECT_TRUE(reading.error.isEmpty()) << reading.error.toStdString();
    EXPECT_EQ(reading.frames, 1152L * audio.Frames);
}

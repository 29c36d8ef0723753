#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <climits>
#include <functional>
#include <optional>

#include "scheduler/ScheduleTime.h"
#include "scheduler/TScheduleChecker.h"
#include "scheduler/TScheduleWrapper.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestEnv.h"

namespace {

class RecordingSink : public TWakeupSink {
public:
    void ReplaceTriggers(const QList<TWakeupTrigger>& triggers) override { calls.append(triggers); }
    QList<QList<TWakeupTrigger>> calls;
};

double Day(int year, int month, int day) {
    return static_cast<double>(DayOfDate(QDate(year, month, day)));
}

QStringList Names(const TScheduleWrapper& schedule) {
    QStringList names;
    for (int i = 0; i < schedule.Count(); ++i) {
        names.append(schedule.GetEvent(i)->FileName);
    }
    return names;
}

QByteArray Line(const char* days, const char* start, const char* length) {
    return QByteArray("\"$1\",\"") + days + "\",\"\",\"" + start + "\",\"" + length +
           "\",\"$C0DE\",\"f.mp2\",\"0\",\"0\",\"0\"\r\n";
}

// Tables in a fresh folder: a1 and a2 share a multiplex, b is on another.
class ScheduleTest : public ::testing::Test {
protected:
    std::unique_ptr<TScheduleEvent> Event(std::int32_t service, std::uint8_t days, double date,
                                          std::int32_t minute, std::int32_t length,
                                          const QString& fileName = QString()) {
        auto event = std::make_unique<TScheduleEvent>();
        event->ServiceID = service;
        event->Days = days;
        event->Date = date;
        event->StartMinute = minute;
        event->LengthMinutes = length;
        event->FileName = fileName;
        return event;
    }
    void Write(const QByteArray& bytes) {
        QFile file(env.ProgramDir() + QStringLiteral("/Schedule.csv"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray Read() {
        QFile file(env.ProgramDir() + QStringLiteral("/Schedule.csv"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    TestEnv env;
    ScriptedDialogs dialogs;
    TServiceTablesWrapper tables{env.ProgramDir(), dialogs};
    std::int32_t a1 = tables.AddService(0xC0DE, 0, QStringLiteral("One"), u'A', 0, 225.648);
    std::int32_t a2 = tables.AddService(0xC0DE, 128, QStringLiteral("One+"), u'A', 0, 225.648);
    std::int32_t b = tables.AddService(0xC221, 0, QStringLiteral("Two"), u'A', 0, 222.064);
};

}  // namespace

// Names with blanks, commas, quotes, Cyrillic and "ÿ" come back unchanged, and so does the SId
// of a service the tables do not hold, while it has no ServiceID in memory.
TEST_F(ScheduleTest, FileRoundTripsByteForByte) {
    const QByteArray file =
        "\"$019A2B3C4D5E\",\"$3E\",\"\",\"07:30\",\"01:30\",\"$C0DE\","
        "\"/rec/Morning, news \"\"live\"\".mp2\",\"1\",\"2\",\"0\"\r\n"
        "\"$019A2B3C4D5F\",\"$00\",\"01/03/2026\",\"23:59\",\"26:00\",\"$C0DE\","
        "\"/rec/\xD0\xA0\xD0\xB0\xD0\xB4\xD0\xB8\xD0\xBE \xC3\xBF.mp3\",\"0\",\"0\",\"128\"\r\n"
        "\"$019A2B3C4D60\",\"$7F\",\"\",\"00:00\",\"00:01\",\"$ABCD\",\"/rec/gone.wav\",\"2\","
        "\"1\",\"7\"\r\n";
    Write(file);
    TScheduleWrapper schedule(tables);
    EXPECT_EQ(Names(schedule),
              QStringList({QStringLiteral("/rec/Morning, news \"live\".mp2"),
                           QStringLiteral("/rec/Радио ÿ.mp3"), QStringLiteral("/rec/gone.wav")}));
    ASSERT_EQ(schedule.Count(), 3);
    EXPECT_EQ(schedule.GetEvent(0)->ServiceID, a1);
    EXPECT_EQ(schedule.GetEvent(1)->ServiceID, a2);
    EXPECT_EQ(schedule.GetEvent(2)->ServiceID, 0);
    Write(QByteArray());
    ASSERT_TRUE(schedule.SaveFile());
    EXPECT_EQ(Read(), file);
}

// Loading stops at a failing line and retries at every LoadIfChanged; comments, empty lines and
// the minutes rule ("7" hours as a start, minutes as a length; "1:90") are read as written. The
// first file with a failing line is kept as a ".bad" copy before any save, and the user told once.
TEST_F(ScheduleTest, LoadRules) {
    struct Case {
        const char* what;
        QByteArray file;
        QList<std::array<int, 3>> loaded;  // Days, StartMinute, LengthMinutes
        bool retried;
    };
    const QByteArray nine = "\"$1\",\"$00\",\"\",\"1\",\"1\",\"$C0DE\",\"f\",\"0\",\"0\"\r\n";
    const Case cases[] = {
        {"nine fields", Line("$01", "7", "7") + nine + Line("$01", "8", "8"), {{1, 420, 7}}, true},
        {"mask of $100", Line("$100", "7", "7") + Line("$01", "8", "8"), {}, true},
        {"comments", ";x\r\n\r\n" + Line("$7F", "1:90", "1:90"), {{127, 150, 150}}, false},
        {"blank before ;", " ;x\r\n" + Line("$01", "8", "8"), {}, true},
        {"start beyond 32 bits", Line("$00", "99999999:00", "1"), {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Write(c.file);
        TScheduleWrapper schedule(tables);
        QList<std::array<int, 3>> loaded;
        for (int i = 0; i < schedule.Count(); ++i) {
            const TScheduleEvent* e = schedule.GetEvent(i);
            loaded.append({e->Days, e->StartMinute, e->LengthMinutes});
        }
        EXPECT_EQ(loaded, c.loaded);
        schedule.ClearEvents();
        schedule.LoadIfChanged();
        EXPECT_EQ(schedule.Count(), c.retried ? c.loaded.size() : 0);
    }
    const QStringList kept =
        QDir(env.ProgramDir()).entryList({QStringLiteral("Schedule.csv.*.bad")});
    ASSERT_EQ(kept.size(), 1);
    QFile backup(env.ProgramDir() + u'/' + kept[0]);
    ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
    EXPECT_EQ(backup.readAll(), cases[0].file);
    EXPECT_TRUE(dialogs.boxes.last().text.contains(kept[0]));
    EXPECT_EQ(dialogs.boxes.size(), 1);
}

// Every save of one wrapper reaches another, even at the same size within the same second.
TEST_F(ScheduleTest, OtherWrappersSeeEverySave) {
    TScheduleWrapper reader(tables);
    TScheduleWrapper writer(tables);
    writer.AddEvent(Event(a1, 0x02, 0, 60, 10));
    for (const QString& name : {QStringLiteral("/a.mp2"), QStringLiteral("/b.mp2")}) {
        writer.GetEvent(0)->FileName = name;
        writer.Save();
        reader.LoadIfChanged();
        EXPECT_EQ(Names(reader), QStringList{name});
    }
}

// Events sort by time of day, then date, then service; past one-offs exclude today's.
TEST_F(ScheduleTest, SortAndPastEvents) {
    TScheduleWrapper schedule(tables);
    schedule.AddEvent(Event(a1, 0, Day(2026, 1, 2), 540, 5, QStringLiteral("9:00 2nd")));
    schedule.AddEvent(Event(b, 0, Day(2026, 1, 1), 540, 5, QStringLiteral("9:00 1st b")));
    schedule.AddEvent(Event(a1, 0, Day(2026, 1, 1), 540, 5, QStringLiteral("9:00 1st")));
    schedule.AddEvent(Event(a1, 0, Day(2026, 1, 5), 480, 5, QStringLiteral("8:00 5th")));
    schedule.AddEvent(Event(a1, 0x7F, 0, 600, 5, QStringLiteral("10:00 weekly")));
    schedule.SortEvents();
    EXPECT_EQ(Names(schedule),
              QStringList({"8:00 5th", "9:00 1st", "9:00 1st b", "9:00 2nd", "10:00 weekly"}));
    QList<int> past;
    schedule.GetPastEvents(past, Day(2026, 1, 2) + 0.9);
    EXPECT_EQ(past, QList<int>({1, 2}));
}

// When the tables change, unsaved events follow their services to new ServiceIDs, or keep
// their key for the file while the service is gone.
TEST_F(ScheduleTest, EventsFollowTheTables) {
    const std::function<void()> changes[] = {
        [&] {
            tables.ClearServices();
            tables.AddService(0xC0DE, 0, {}, u'A', 0, 225.648);
        },
        [&] { tables.ClearServices(); },
        [&] {
            tables.SaveTables();
            tables.LoadTables();
        },
    };
    for (const auto& change : changes) {
        TScheduleWrapper schedule(tables);
        schedule.ClearEvents();
        schedule.AddEvent(Event(tables.FindService(0xC0DE, 0), 0x02, 0, 60, 10));
        const std::int32_t before = schedule.GetEvent(0)->ServiceID;
        change();
        schedule.LoadIfChanged();
        EXPECT_EQ(schedule.GetEvent(0)->ServiceID, tables.FindService(0xC0DE, 0));
        EXPECT_NE(schedule.GetEvent(0)->ServiceID, before);
        ASSERT_TRUE(schedule.SaveFile());
        EXPECT_TRUE(Read().contains("\"$C0DE\""));
        tables.AddService(0xC0DE, 0, {}, u'A', 0, 225.648);
    }
}

// Each save hands over one trigger per event, a minute before its start, the day moving back
// over midnight; an empty schedule hands over none.
TEST_F(ScheduleTest, WakeupTriggers) {
    const auto weekly = [](std::uint8_t days, int h, int m) {
        return TWakeupTrigger{days, QTime(h, m), {}};
    };
    const auto once = [](int y, int mo, int d, int h, int m) {
        return TWakeupTrigger{0, QTime(h, m), QDate(y, mo, d)};
    };
    struct Case {
        QList<std::array<double, 3>> events;  // Days, Date, StartMinute
        QList<TWakeupTrigger> triggers;
    };
    const Case cases[] = {
        {{{0x02, 0, 0}}, {weekly(0x01, 23, 59)}},
        {{{0x41, 0, 0}}, {weekly(0x60, 23, 59)}},
        {{{0, Day(2026, 3, 1), 0}}, {once(2026, 2, 28, 23, 59)}},
        {{{0, Day(2028, 3, 1), 0}}, {once(2028, 2, 29, 23, 59)}},
        {{{0x3E, 0, 450}, {0, Day(2026, 7, 4), 1439}, {0x01, 0, 1}},
         {weekly(0x3E, 7, 29), once(2026, 7, 4, 23, 58), weekly(0x01, 0, 0)}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        RecordingSink sink;
        TScheduleWrapper schedule(tables, sink);
        schedule.ClearEvents();
        for (const auto& e : c.events) {
            schedule.AddEvent(Event(a1, static_cast<std::uint8_t>(e[0]), e[1],
                                    static_cast<std::int32_t>(e[2]), 30));
        }
        schedule.Save();
        EXPECT_EQ(sink.calls, QList<QList<TWakeupTrigger>>{c.triggers});
    }
}

// Clashes between multiplexes are found in the week table and among one-offs; starts that never
// happen and lengths beyond a week finish at once.
TEST_F(ScheduleTest, CheckerClashesAndLimits) {
    // Services: 0 and 1 share a multiplex, 2 is on another. Days: 1 Sunday ... 64 Saturday.
    struct Plan {
        int service;
        std::uint8_t days;
        double date;
        std::int32_t minute;
        std::int32_t length;
    };
    struct Case {
        const char* what;
        QList<Plan> schedule;
        bool weeklyOk;   // BuildWeekly, as the schedule window checks on opening
        bool oneOffsOk;  // CheckOneOffs
        std::optional<Plan> candidate = std::nullopt;
        bool accepted = true;  // the window's test before it adds the candidate
    };
    const double tue = Day(2026, 3, 3);
    // Weekly Tuesdays 07:00 for an hour, one-offs on 3 March 07:00 and 08:10 and a week later,
    // weekly Saturdays 23:30; starts at -1:00 (Sunday); the longest lengths.
    const Plan tueA{0, 4, 0, 420, 60}, onceA{0, 0, tue, 420, 60}, laterA{0, 0, tue, 490, 10};
    const Plan nextA{0, 0, tue + 7, 420, 60}, satA{0, 64, 0, 1410, 60};
    const Plan early{0, 1, 0, -60, 120}, earlyOnce{0, 0, tue - 2, -60, 120};
    const Plan everA{0, 1, 0, 0, INT_MAX}, everB{2, 4, tue, 0, INT_MAX};
    const Plan onceEverA{0, 0, tue + 1, 0, INT_MAX}, onceEverB{2, 0, tue + 14, 0, INT_MAX};
    const Case cases[] = {
        {"same multiplex", {tueA, {1, 4, 0, 420, 60}}, true, true, Plan{1, 4, 0, 450, 60}},
        {"one minute on two multiplexes", {tueA, {2, 4, 0, 479, 30}}, false, true},
        {"into Sunday", {satA}, true, true, Plan{2, 1, 0, 29, 10}, false},
        {"after Sunday 00:30", {satA}, true, true, Plan{2, 1, 0, 30, 10}},
        {"one-off in a weekly Tuesday", {tueA, {2, 0, tue, 450, 10}}, true, false},
        {"one-off on Wednesday", {tueA, {2, 0, tue + 1, 450, 10}}, true, true},
        {"two one-offs", {onceA}, true, true, Plan{2, 0, tue, 450, 10}, false},
        {"one-off between two", {onceA, laterA}, true, true, Plan{2, 0, tue, 480, 10}},
        {"weekly, one-off a week on", {nextA}, true, true, Plan{2, 4, tue, 450, 10}, false},
        {"weekly off its date's day", {onceA}, true, true, Plan{2, 2, tue, 420, 60}},
        {"-1:00", {early, {2, 1, 0, 0, 30}, earlyOnce}, true, true, early},
        {"longest weekly", {everA, {2, 8, 0, 720, 10}, onceEverA}, false, true, everB, false},
        {"longest one-offs", {onceEverA}, true, true, onceEverB, false},
    };
    const std::int32_t services[] = {a1, a2, b};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QElapsedTimer timer;
        timer.start();
        TScheduleWrapper schedule(tables);
        for (const Plan& p : c.schedule) {
            schedule.AddEvent(Event(services[p.service], p.days, p.date, p.minute, p.length));
        }
        TScheduleChecker checker(schedule, tables, false);
        EXPECT_EQ(checker.BuildWeekly(), c.weeklyOk);
        EXPECT_EQ(checker.CheckOneOffs(), c.oneOffsOk);
        if (c.candidate) {
            const Plan& p = *c.candidate;
            const std::int32_t s = services[p.service];
            checker.BuildWeekly();
            EXPECT_EQ(checker.CheckEvent(false, s, p.days, p.date, p.minute, p.length) &&
                          checker.CheckAgainstOneOffs(s, p.days, p.date, p.minute, p.length),
                      c.accepted);
        }
        EXPECT_LT(timer.elapsed(), 1000);
    }
}

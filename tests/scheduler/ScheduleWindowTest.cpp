#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <deque>
#include <functional>

#include "recording/TRecordManager.h"
#include "scheduler/TScheduleEventForm.h"
#include "scheduler/TScheduleForm.h"
#include "scheduler/TTimerManager.h"
#include "tests/support/ReceiverWorld.h"

namespace {

class RecordingSink : public TWakeupSink {
public:
    void ReplaceTriggers(const QList<TWakeupTrigger>& triggers) override { calls.append(triggers); }
    QList<QList<TWakeupTrigger>> calls;
};

const QString kClashes = QStringLiteral("This event clashes with the current scheule.");

QString DateText(int daysFromToday) {
    return QDate::currentDate().addDays(daysFromToday).toString(QStringLiteral("dd/MM/yyyy"));
}

// The schedule window over the receiver world ("Radio One" on 12B, "Other A" and "Other B" on
// 11D); Add and Edit run the scripted edits in turn, and an edit nobody scripted fails.
class ScheduleWindowTest : public ::testing::Test, public ReceiverWorld {
protected:
    ~ScheduleWindowTest() override {
        delete ScheduleForm;
        RecordManager = nullptr;
    }
    // One line of Schedule.csv; `date` empty for a weekly event.
    QByteArray Line(const char* id, const char* days, const QString& date, const char* start,
                    const char* length, const char* sid) {
        return QStringLiteral(
                   "\"$%1\",\"%2\",\"%3\",\"%4\",\"%5\",\"$%6\",\"%7\",\"0\",\"0\",\"0\"\r\n")
            .arg(QLatin1String(id), QLatin1String(days), date, QLatin1String(start),
                 QLatin1String(length), QLatin1String(sid), Path(QStringLiteral("f.mp2")))
            .toUtf8();
    }
    void WriteSchedule(const QByteArray& bytes) {
        QFile file(env.ProgramDir() + QStringLiteral("/Schedule.csv"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QByteArray ReadSchedule() {
        QFile file(env.ProgramDir() + QStringLiteral("/Schedule.csv"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    TScheduleForm* Open(TSettingsWrapper& with) {
        TScheduleForm* form = TScheduleForm::ShowSchedule(tables, with, nullptr);
        form->EditEvent = [this](TScheduleEvent& event) {
            if (edits.empty()) {
                ADD_FAILURE() << "unexpected edit";
                return false;
            }
            auto edit = std::move(edits.front());
            edits.pop_front();
            return edit(event);
        };
        return form;
    }
    TScheduleForm* Open() { return Open(settings); }
    // Whether the window went once the deferred deletions ran.
    static bool Closed(const QPointer<TScheduleForm>& form) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return form.isNull() && ScheduleForm == nullptr;
    }

    std::deque<std::function<bool(TScheduleEvent&)>> edits;
};

}  // namespace

// Weekly events on two multiplexes in the same minutes warn once with the exact text on
// opening.
TEST_F(ScheduleWindowTest, OpeningWarnsOfClashes) {
    WriteSchedule(Line("1", "$02", {}, "09:00", "60", "C0DE") +
                  Line("2", "$02", {}, "09:59", "30", "D001"));
    delete Open();
    EXPECT_EQ(dialogs.boxes.size(), 1);
    EXPECT_TRUE(dialogs.Shown(
        1, DialogKind::Warning,
        QStringLiteral("The current schedule contains simultaneous recordings on different "
                       "multiplexes.\n\rOne of the recordings will fail."),
        DialogButtons::Ok));
}

// Past one-offs are asked about once: No keeps them, Yes takes them from the grid without
// saving, so they come back the next time.
TEST_F(ScheduleWindowTest, PastEventsAskedOnce) {
    const QByteArray file = Line("1", "$00", DateText(-1), "08:00", "30", "C0DE") +
                            Line("2", "$00", DateText(0), "07:00", "30", "C0DE");
    for (const DialogResult answer : {DialogResult::No, DialogResult::Yes}) {
        WriteSchedule(file);
        dialogs.answers.push_back(answer);
        TScheduleForm* form = Open();
        EXPECT_TRUE(dialogs.Shown(
            1, DialogKind::Confirmation,
            QStringLiteral("Do you want do delete scheduled events that have passed?"),
            DialogButtons::YesNo));
        EXPECT_EQ(form->Schedule().Count(), answer == DialogResult::Yes ? 1 : 2);
        EXPECT_EQ(form->RowCount(), form->Schedule().Count());
        EXPECT_FALSE(form->Modified());
        delete form;
        EXPECT_EQ(ReadSchedule(), file);
        dialogs.boxes = {};
    }
}

// A clashing event is refused with the exact text and the editor comes back with the values
// entered; a one-off dated yesterday then warns that it is in the past and is added.
TEST_F(ScheduleWindowTest, AddRefusesClashThenAddsPastOneOff) {
    WriteSchedule(Line("1", "$00", DateText(-1), "09:00", "01:00", "C0DE"));
    dialogs.answers.push_back(DialogResult::No);
    TScheduleForm* form = Open();
    edits.push_back([this](TScheduleEvent& e) {
        e.Date = static_cast<double>(DayOfDate(QDate::currentDate().addDays(-1)));
        e.StartMinute = 9 * 60 + 30;
        e.LengthMinutes = 30;
        e.ServiceID = otherA;
        e.FileName = Path(QStringLiteral("a.mp2"));
        return true;
    });
    edits.push_back([this](TScheduleEvent& e) {
        TScheduleEventForm window(tables, nullptr);
        window.LoadFromEvent(e);
        EXPECT_EQ(window.TimeEdit->text(), QStringLiteral("09:30"));
        EXPECT_EQ(window.SelectedService(), otherA);
        window.TimeEdit->setText(QStringLiteral("10"));
        const bool ok = window.OKButtonClick();
        window.StoreToEvent(e);
        return ok;
    });
    form->AddEventActionExecute();
    EXPECT_EQ(dialogs.boxes[1].text, kClashes);
    EXPECT_TRUE(dialogs.Shown(3, DialogKind::Warning, QStringLiteral("This event is in the past."),
                              DialogButtons::Ok));
    EXPECT_TRUE(edits.empty());
    EXPECT_EQ(form->RowCount(), 2);
    EXPECT_EQ(form->RowText(2, TScheduleForm::TimeColumn), QStringLiteral("10:00"));
    EXPECT_EQ(form->RowText(2, TScheduleForm::DateColumn), DateText(-1));
    EXPECT_EQ(form->RowText(2, TScheduleForm::ServiceColumn), QStringLiteral("Other A"));
    EXPECT_TRUE(form->Modified());
}

// Edit keeps the EventID (also from a double click, not from one on the header) and Cancel in
// the editor keeps the event; Delete asks and removes it only on OK; then a double click, Edit
// and Delete on the blank row left do nothing at all.
TEST_F(ScheduleWindowTest, EditKeepsEventIDAndDeleteAsks) {
    WriteSchedule(Line("1", "$00", DateText(3), "09:00", "30", "C0DE"));
    TScheduleForm* form = Open();
    EXPECT_EQ(form->size(), QSize(442, 300));
    edits.push_back([](TScheduleEvent&) { return false; });
    edits.push_back([](TScheduleEvent& e) {
        e.StartMinute = 11 * 60;
        return true;
    });
    form->SelectRow(1);
    form->GridDoubleClicked(0);  // the header
    EXPECT_EQ(edits.size(), 2u);
    form->EditEventActionExecute();
    EXPECT_FALSE(form->Modified());
    form->GridDoubleClicked(1);
    EXPECT_TRUE(edits.empty());
    ASSERT_EQ(form->Schedule().Count(), 1);
    EXPECT_EQ(form->Schedule().GetEvent(0)->EventID, QStringLiteral("$1"));
    EXPECT_EQ(form->RowText(1, TScheduleForm::TimeColumn), QStringLiteral("11:00"));
    EXPECT_TRUE(form->Modified());

    for (const DialogResult answer : {DialogResult::Cancel, DialogResult::Ok}) {
        dialogs.answers.push_back(answer);
        form->DeleteEventActionExecute();
        EXPECT_EQ(dialogs.boxes.last().text, QStringLiteral("Do you want to delete this event?"));
        EXPECT_EQ(dialogs.boxes.last().buttons, DialogButtons::OkCancel);
        EXPECT_EQ(form->Schedule().Count(), answer == DialogResult::Ok ? 0 : 1);
    }
    ASSERT_EQ(form->RowCount(), 1);
    form->SelectRow(1);
    form->GridDoubleClicked(1);
    form->EditEventActionExecute();
    form->DeleteEventActionExecute();
    EXPECT_EQ(dialogs.boxes.size(), 2);
    EXPECT_EQ(form->Schedule().Count(), 0);
}

// The editor's checks run in order, the first failure showing its text; 24:00 is refused,
// 23:59 and a bare 1 (read as 00:01) pass; a file name with a line break is refused; a chosen file
// is taken.
TEST_F(ScheduleWindowTest, EditorMessagesInOrder) {
    TRecordManager manager(control, tables, settings);
    RecordManager = &manager;
    TScheduleEventForm window(tables, nullptr);
    window.LoadFromEvent(TScheduleEvent());
    window.TimeEdit->setText(QStringLiteral("24:00"));
    const QString ok = Path(QStringLiteral("ok.mp2"));
    const struct {
        std::function<void()> change;
        const char* refusal;  // null: accepted
    } steps[] = {
        {[] {}, "Please enter a valid time."},
        {[&] { window.TimeEdit->setText(QStringLiteral("23:59")); },
         "Please enter a valid length."},
        {[&] { window.LengthEdit->setText(QStringLiteral("1")); },
         "Please select a service to record."},
        {[&] {
             window.SelectService(radioOne);
             dialogs.saveAnswers.push_back(std::nullopt);
         },
         "Please enter a valid filename."},
        {[&] { dialogs.saveAnswers.push_back(SaveFileAnswer{Path(QStringLiteral("a\nb.mp2"))}); },
         "Please enter a valid filename."},
        {[&] {
             window.FilenameEdit->clear();
             dialogs.saveAnswers.push_back(SaveFileAnswer{ok});
         },
         nullptr},
    };
    qsizetype count = 0;
    for (const auto& step : steps) {
        step.change();
        const bool accepted = window.OKButtonClick();
        EXPECT_EQ(accepted, step.refusal == nullptr) << step.refusal;
        if (step.refusal) {
            EXPECT_TRUE(dialogs.Shown(++count, DialogKind::Error, QString::fromLatin1(step.refusal),
                                      DialogButtons::Ok));
        }
    }
    EXPECT_EQ(dialogs.boxes.size(), count);
    EXPECT_EQ(dialogs.saveRequests.first().fileName, QStringLiteral("Radio One"));
    TScheduleEvent event;
    window.StoreToEvent(event);
    EXPECT_EQ(event.StartMinute, 23 * 60 + 59);
    EXPECT_EQ(event.LengthMinutes, 1);
    EXPECT_EQ(window.LengthEdit->text(), QStringLiteral("00:01"));
    EXPECT_EQ(event.ServiceID, radioOne);
    EXPECT_EQ(event.FileName, ok);
}

// Save with the timer off asks to enable it; any answer saves the sorted schedule to the file,
// rebuilds the wake-up triggers and closes; a refused machine-wide write shows its text.
TEST_F(ScheduleWindowTest, SaveAsksForTimerAndWritesFile) {
    RecordingSink sink;
    TTimerManager manager(control, tables, settings, sink, TTimerClock::System(), [](int) {});
    TimerManager = &manager;
    TSettingsWrapper refusing(
        SettingsKey(RegistryKey::Hive::User),
        RegistryKey(QStringLiteral("/proc/self/Tunora.conf"), TSettingsWrapper::KeyPath()), tables,
        0, 1920);
    const struct {
        TSettingsWrapper* with;
        DialogResult answer;
        bool enabled;
        const char* error;
    } cases[] = {{&settings, DialogResult::No, false, nullptr},
                 {&settings, DialogResult::Yes, true, nullptr},
                 {&refusing, DialogResult::Yes, false, "Failed to set data for 'TimerEnabled'"}};
    for (const auto& c : cases) {
        settings.WriteBool(Setting::TimerEnabled, false);
        WriteSchedule(Line("1", "$02", {}, "09:00", "30", "C0DE"));
        sink.calls.clear();
        QPointer<TScheduleForm> form = Open(*c.with);
        edits.push_back([](TScheduleEvent& e) {
            e.Days = 0x7F;
            e.LengthMinutes = 15;
            return true;
        });
        form->AddEventActionExecute();
        const TScheduleEvent added = *form->Schedule().GetEvent(0);
        dialogs.answers.push_back(c.answer);
        form->SaveActionExecute();
        EXPECT_EQ(dialogs.boxes[0].text,
                  QStringLiteral("Timer is currently dissabled.\n\rDo you wish to enable it?"));
        EXPECT_EQ(dialogs.boxes.last().text,
                  c.error ? QString::fromLatin1(c.error) : dialogs.boxes[0].text);
        EXPECT_EQ(settings.ReadBool(Setting::TimerEnabled), c.enabled);
        EXPECT_EQ(ReadSchedule(), added.AsText(tables).toUtf8() + "\r\n" +
                                      Line("1", "$02", {}, "09:00", "00:30", "C0DE"));
        ASSERT_EQ(sink.calls.size(), 1);
        EXPECT_EQ(sink.calls[0].size(), 2);
        EXPECT_TRUE(Closed(form));
        dialogs.boxes = {};
    }
    TimerManager = nullptr;
}

// Cancel asks only when something changed; No keeps the window, Yes closes without saving.
TEST_F(ScheduleWindowTest, CancelAsksAboutChanges) {
    const QByteArray file = Line("1", "$7F", {}, "09:00", "30", "C0DE");
    const struct {
        bool change;
        DialogResult answer;
        bool closes;
    } cases[] = {{false, DialogResult::No, true},
                 {true, DialogResult::No, false},
                 {true, DialogResult::Yes, true}};
    for (const auto& c : cases) {
        WriteSchedule(file);
        QPointer<TScheduleForm> form = Open();
        if (c.change) {
            dialogs.answers.push_back(DialogResult::Ok);
            form->SelectRow(1);
            form->DeleteEventActionExecute();
            dialogs.answers.push_back(c.answer);
        }
        form->CancelActionExecute();
        EXPECT_EQ(dialogs.boxes.size(), c.change ? 2 : 0);
        if (c.change) {
            EXPECT_EQ(dialogs.boxes.last().text,
                      QStringLiteral("Do you want to loose changes to the schedule?"));
        }
        EXPECT_EQ(Closed(form), c.closes);
        EXPECT_EQ(ReadSchedule(), file);
        delete form.data();
        dialogs.boxes = {};
    }
}

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTableWidget>

#include "platform/ProgramFolder.h"
#include "recording/TRecordManager.h"
#include "tests/support/Polling.h"
#include "tests/support/ReceiverWorld.h"
#include "windows/TDesktopLauncher.h"
#include "windows/TFullListForm.h"
#include "windows/TServicePropertiesForm.h"

namespace {

// The arguments an Exec value stands for: the string value unescaped, then split by the quoting
// rules of the Desktop Entry format ("%%" is a literal "%").
QStringList ExecArguments(const QString& value) {
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size()) {
            const QChar next = value[++i];
            text += next == u's' ? u' ' : next == u'n' ? u'\n' : next == u't' ? u'\t' : next;
        } else {
            text += value[i];
        }
    }
    QStringList arguments;
    QString current;
    bool quoted = false;
    bool any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted && c == u'\\' && i + 1 < text.size()) {
            current += text[++i];
        } else if (c == u'"') {
            quoted = !quoted;
            any = true;
        } else if (c == u' ' && !quoted) {
            if (any)
                arguments.append(current.replace(QStringLiteral("%%"), QStringLiteral("%")));
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any)
        arguments.append(current.replace(QStringLiteral("%%"), QStringLiteral("%")));
    return arguments;
}

// The service list over the receiver world: "Radio One" on 12B, "Other A" and "Other B" on 11D.
class ServiceListTest : public ::testing::Test, public ReceiverWorld {
protected:
    ~ServiceListTest() override {
        delete FullListForm;
        RecordManager = nullptr;
    }
    TFullListForm* Open() {
        TFullListForm* form = TFullListForm::ShowFullList(tables, settings, control, nullptr);
        EXPECT_EQ(form, FullListForm);
        return form;
    }
    int RowOf(TFullListForm* form, std::int32_t serviceId) {
        for (int row = 1; row <= form->RowCount(); ++row) {
            if (form->RowService(row) == serviceId)
                return row;
        }
        return 0;
    }
};

}  // namespace

// A stored sort mode outside 1..3 opens sorted by label; a header click sorts by its column
// and stores the mode in "ListSort".
TEST_F(ServiceListTest, SortModes) {
    const struct {
        int stored;
        int mode;
    } cases[] = {{0, 1}, {4, 1}, {2, 2}, {3, 3}};
    for (const auto& c : cases) {
        settings.WriteInteger(Setting::ListSort, c.stored);
        TFullListForm* form = Open();
        EXPECT_EQ(form->SortMode(), c.mode) << c.stored;
        delete form;
    }
    TFullListForm* form = Open();
    for (int column : {TFullListForm::GenreColumn, TFullListForm::MultiplexColumn,
                       TFullListForm::ServiceColumn}) {
        form->HeaderClicked(column);
        EXPECT_EQ(settings.ReadInteger(Setting::ListSort), column - 1);
        for (int row = 2; row <= form->RowCount(); ++row) {
            EXPECT_LE(form->RowText(row - 1, column).localeAwareCompare(form->RowText(row, column)),
                      0)
                << column << " row " << row;
        }
    }
}

// A recording started elsewhere blinks within a quarter second, greys the services of other
// multiplexes through the refill and keeps the selected row.
TEST_F(ServiceListTest, RecordingBlinksAndRefillKeepsSelection) {
    TRecordManager manager(control, tables, settings);
    RecordManager = &manager;
    TFullListForm* form = Open();
    form->SelectRow(RowOf(form, otherB));
    EXPECT_FALSE(form->RowGreyed(RowOf(form, otherB)));

    manager.StartRecording(radioOne, Path(QStringLiteral("one.mp2")));
    ASSERT_TRUE(PollUntil([&] { return form->RowRecording(RowOf(form, radioOne)); }, 300));
    EXPECT_TRUE(form->RowGreyed(RowOf(form, otherB)));
    EXPECT_FALSE(form->RowGreyed(RowOf(form, radioOne)));
    EXPECT_EQ(form->SelectedService(), otherB);
    int hidden = 0;
    for (int tick = 0; tick < 4; ++tick) {
        form->DisplayTimerTimer();
        hidden += form->RowRecording(RowOf(form, radioOne)) ? 0 : 1;
    }
    EXPECT_EQ(hidden, 1);
    manager.StopRecording(radioOne);
}

// Preview plays the selected service, and stops it when it is the one playing.
TEST_F(ServiceListTest, PreviewTogglesPlayback) {
    TFullListForm* form = Open();
    form->SelectRow(RowOf(form, radioOne));
    form->PreviewActionExecute();
    fake.ready = true;
    control.TheTimerTimer();
    EXPECT_EQ(control.CurrentService(), radioOne);
    form->PreviewActionExecute();
    EXPECT_EQ(control.CurrentService(), 0);
    EXPECT_TRUE(form->isVisible());
}

// W and Esc without modifiers close the window; with Shift or Ctrl they do not.
TEST_F(ServiceListTest, CloseKeys) {
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool closes;
    } cases[] = {
        {Qt::Key_W, Qt::NoModifier, true},
        {Qt::Key_Escape, Qt::NoModifier, true},
        {Qt::Key_W, Qt::ShiftModifier, false},
        {Qt::Key_W, Qt::ControlModifier, false},
    };
    for (const auto& c : cases) {
        QPointer<TFullListForm> form = Open();
        QKeyEvent press(QEvent::KeyPress, c.key, c.modifiers);
        QApplication::sendEvent(form->FullStringGrid, &press);
        EXPECT_EQ(!form->isVisible(), c.closes) << c.key << " " << c.modifiers;
        delete form.data();
    }
}

// Sizes, top row and selection come back from the settings; the reset applies the defaults.
TEST_F(ServiceListTest, SizesRestoredAndReset) {
    settings.WriteString(Setting::ListSize, QStringLiteral("10,20,400,300,0,16,16,120,70,90,16"));
    settings.WriteString(Setting::ListSel, tables.GetServiceKey(otherA, true, u':'));
    TFullListForm* form = Open();
    EXPECT_EQ(form->size(), QSize(400, 300));
    EXPECT_EQ(form->FullStringGrid->columnWidth(TFullListForm::ServiceColumn), 120);
    EXPECT_EQ(form->SelectedService(), otherA);

    form->ResetWindowSizes();
    EXPECT_EQ(form->size(), QSize(355, 420));
    EXPECT_EQ(form->FullStringGrid->columnWidth(TFullListForm::ServiceColumn), 98);
    form->FullStringGrid->setColumnWidth(TFullListForm::GenreColumn, 77);
    form->close();
    delete form;
    form = Open();
    EXPECT_EQ(form->size(), QSize(355, 420));
    EXPECT_EQ(form->FullStringGrid->columnWidth(TFullListForm::GenreColumn), 77);
    EXPECT_EQ(settings.ReadString(Setting::ListSel), tables.GetServiceKey(otherA, true, u':'));
}

// No audio service: "No Services Found" in the error box and no window; a refill from the timer
// that finds none keeps the grid without a box; Listen on a service gone from the tables
// refills instead of playing.
TEST_F(ServiceListTest, MissingServices) {
    {
        ReceiverWorld empty(ReceiverWorld::Tables::Empty);
        EXPECT_EQ(TFullListForm::ShowFullList(empty.tables, empty.settings, empty.control, nullptr),
                  nullptr);
        EXPECT_EQ(FullListForm, nullptr);
        EXPECT_TRUE(empty.dialogs.Shown(1, DialogKind::Error, QStringLiteral("No Services Found"),
                                        DialogButtons::Ok));
    }
    TFullListForm* form = Open();
    tables.ClearServices();
    control.SetScanLock(true);
    form->DisplayTimerTimer();
    EXPECT_EQ(form->RowCount(), 3);
    control.SetScanLock(false);

    const std::int32_t again =
        tables.AddService(0xC0DE, 0, QStringLiteral("Radio One"), u'A', 10, k12B);
    form->SelectRow(1);
    form->ListenActionExecute();
    EXPECT_EQ(control.CurrentService(), 0);
    EXPECT_EQ(form->RowCount(), 1);
    EXPECT_EQ(form->RowService(1), again);
    EXPECT_TRUE(dialogs.boxes.isEmpty());
}

// The secondary line and the frequency line of the General page.
TEST_F(ServiceListTest, PropertiesGeneralPage) {
    const struct {
        std::int32_t secondary;
        const char* text;
    } cases[] = {{0, "Primary service"}, {3, "SCIdS 3"}, {17, "SCIdS 17 (virtual)"}};
    for (const auto& c : cases) {
        const std::int32_t id =
            tables.AddService(0xC0DE, c.secondary, QStringLiteral("Part"), u'A', 10, k12B);
        auto* form = TServicePropertiesForm::ShowProperties(id, tables, settings, nullptr);
        EXPECT_EQ(form->SecondaryEdit->text(), QString::fromLatin1(c.text));
        EXPECT_EQ(form->FreqEdit->text(), QStringLiteral("225.648 MHz  (12B)"));
        EXPECT_EQ(form->IDHexEdit->text(), QStringLiteral("$C0DE"));
        EXPECT_EQ(form->IDDecEdit->text(), QString::number(0xC0DE));
        delete form;
    }
}

// A launcher for "Radio 4 (FM)" is "Radio 4 FM.desktop" with exactly these lines, executable;
// its Exec line gives back the program, PLAY and the key taken when the window opened; its
// pictures exist and desktop-file-validate accepts it.
TEST_F(ServiceListTest, LauncherFile) {
    const std::int32_t id =
        tables.AddService(0xC221, 0, QStringLiteral("Radio 4 (FM)"), u'A', 10, k12B);
    auto* form = TServicePropertiesForm::ShowProperties(id, tables, settings, nullptr);
    form->ShortcutLocationComboBox->setCurrentIndex(form->Locations().size() - 1);  // Other ...
    const QString folder = Path(QStringLiteral("launchers"));
    dialogs.folderAnswers.push_back(folder);
    tables.ClearServices();  // a rescan while the window is open
    const QString path = form->CreateButtonClick();
    delete form;

    EXPECT_EQ(path, folder + QStringLiteral("/Radio 4 FM.desktop"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    const QString exe = ProgramFolder::ExecutablePath();
    const QString png = ProgramFolder::Path() + QStringLiteral("/Icons/$C221.png");
    EXPECT_EQ(text.toStdString(),
              (QStringLiteral("[Desktop Entry]\nType=Application\nName=Radio 4 (FM)\n"
                              "Comment=Radio 4 (FM)\nExec=") +
               exe + QStringLiteral(" PLAY \"\\\\$C221\"\nPath=") + QFileInfo(exe).absolutePath() +
               QStringLiteral("\nIcon=") + png + u'\n')
                  .toStdString());
    const QString exec = text.section(QStringLiteral("Exec="), 1).section(u'\n', 0, 0);
    EXPECT_EQ(ExecArguments(exec), QStringList({exe, QStringLiteral("PLAY"), u"$C221"_qs}));
    EXPECT_TRUE(QFileInfo(path).permissions().testFlag(QFile::ExeOwner));
    EXPECT_EQ(QImage(png).size(), QSize(32, 32));
    EXPECT_TRUE(QFileInfo::exists(ProgramFolder::Path() + QStringLiteral("/Icons/$C221.ico")));

    const QString validator =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty()) {
        ASSERT_TRUE(qEnvironmentVariableIsEmpty("CI")) << "desktop-file-validate is missing";
        GTEST_SKIP() << "desktop-file-validate is not installed";
    }
    QProcess validate;
    validate.start(validator, {path});
    ASSERT_TRUE(validate.waitForFinished(30000));
    EXPECT_EQ(validate.exitCode(), 0);
    const QByteArray report = validate.readAllStandardOutput().trimmed();
    // Name and Comment are both the service name, which it only warns about.
    EXPECT_FALSE(report.contains("error")) << report.toStdString();
}

// File names keep letters, digits and blanks, and fall back to "Tunora " + SId; arguments with
// reserved characters are quoted and come back unchanged.
TEST(DesktopLauncher, NamesAndQuoting) {
    const struct {
        const char* name;
        const char* file;
    } names[] = {{"Radio 4 (FM)", "Radio 4 FM"}, {"(( ))", "Tunora C221"}, {"", "Tunora C221"}};
    for (const auto& n : names) {
        EXPECT_EQ(TDesktopLauncher::FileBaseName(QString::fromUtf8(n.name), 0xC221),
                  QString::fromUtf8(n.file));
    }
    for (const char* argument : {"plain", "$C221:128", "/a b/it's \"x\"", "100%", "a\\b`c"}) {
        const QString quoted = TDesktopLauncher::QuoteArgument(QString::fromUtf8(argument));
        EXPECT_EQ(ExecArguments(TDesktopLauncher::EscapeValue(quoted)),
                  QStringList(QString::fromUtf8(argument)))
            << argument;
    }
}

// "Desktop" is offered only when user-dirs.dirs names an existing folder other than home.
TEST(DesktopLauncher, DesktopLocation) {
    TestEnv env;
    const QString home = env.File(QStringLiteral("home"));
    QDir(home).mkpath(QStringLiteral("Desktop"));
    const struct {
        const char* line;
        bool offered;
    } cases[] = {{"", false},
                 {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"", true},
                 {"XDG_DESKTOP_DIR=\"$HOME/\"", false},
                 {"XDG_DESKTOP_DIR=\"$HOME/Missing\"", false}};
    for (const auto& c : cases) {
        QFile dirs(env.File(QStringLiteral("config/user-dirs.dirs")));
        ASSERT_TRUE(dirs.open(QIODevice::WriteOnly | QIODevice::Truncate));
        dirs.write(QByteArray(c.line) + '\n');
        dirs.close();
        const QList<TLauncherLocation> list = TDesktopLauncher::Locations();
        EXPECT_EQ(list.first().Caption == u"Desktop", c.offered) << c.line;
        EXPECT_EQ(list.last().Caption, QStringLiteral("Other ..."));
    }
}

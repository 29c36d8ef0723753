#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include "http/THTTPServer.h"
#include "http/THTTPServerManager.h"
#include "http/TSocket.h"
#include "recording/CodecAvailability.h"
#include "shell/TOptionsForm.h"
#include "shell/TScanFrameWidget.h"
#include "tests/receiver/TestRecorder.h"
#include "tests/support/Polling.h"
#include "tests/support/ReceiverWorld.h"

namespace {

const QString kRemoveAbsent = QStringLiteral("Do you want to remove absent services from Tunora?");

class OptionsWindowTest : public ::testing::Test, public ReceiverWorld {
protected:
    ~OptionsWindowTest() override {
        delete OptionsForm;
        HTTPServerManager = nullptr;
    }
    TOptionsForm* Open(TSettingsWrapper& with) {
        return TOptionsForm::ShowOptions(tables, with, control, nullptr);
    }
    TOptionsForm* Open() { return Open(settings); }
    int IncludedEnsembles() const {
        TListEntries list;
        tables.ListEnsembles(list, false, false);
        return int(list.size());
    }
};

}  // namespace

// Each combo shows its stored value by the window's rules and Apply stores what it shows, so
// an odd value is put right on the first save; one window exists at a time.
TEST_F(OptionsWindowTest, ShowsStoredValuesAndStoresWhatIsShown) {
    const struct {
        SettingName name;
        int stored;
        QComboBox* TOptionsForm::*combo;
        const char* shown;
        int saved;
    } cases[] = {
        {Setting::BitRate, 100, &TOptionsForm::BitRateCombo, "112", 112},
        {Setting::BitRate, 500, &TOptionsForm::BitRateCombo, "448", 448},
        {Setting::BitRate, 0, &TOptionsForm::BitRateCombo, "(Default)", 0},
        {Setting::SamplingFrequency, 23000, &TOptionsForm::SampleRateCombo, "24000", 24000},
        {Setting::ScrollSpeed, 0, &TOptionsForm::ScrollSpeedCombo, "30", 30},
        {Setting::ScrollSpeed, 70, &TOptionsForm::ScrollSpeedCombo, "70", 70},
        {Setting::QuickMenuMode, 2, &TOptionsForm::QuickMenuCombo, "Recents", 2},
        {Setting::RecentCount, 0, &TOptionsForm::RecentCountCombo, "Disabled", 0},
    };
    for (const auto& c : cases) {
        settings.WriteInteger(c.name, c.stored);
        TOptionsForm* form = Open();
        EXPECT_EQ(Open(), form);
        EXPECT_EQ((form->*c.combo)->currentText(), QLatin1String(c.shown)) << c.stored;
        form->ApplyButtonClick();
        EXPECT_EQ(settings.ReadInteger(c.name), c.saved) << c.shown;
        form->CancelButtonClick();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(OptionsForm, nullptr);
    }

    // Checks and texts: edited values are stored as the table of controls says.
    settings.WriteString(Setting::DefaultExtension, QStringLiteral("mp2"));
    settings.WriteInteger(Setting::ScrollJump, 4);
    TOptionsForm* form = Open();
    EXPECT_EQ(form->ExtensionCombo->currentText(), QStringLiteral("MP2"));
    EXPECT_FALSE(form->SmoothScrollCheck->isChecked());
    form->PlayOnStartupCheck->setChecked(true);
    form->SmoothScrollCheck->setChecked(true);
    form->ScrollSpeedCombo->setEditText(QStringLiteral("fast"));
    form->TimerEnabledCheck->setChecked(true);
    form->SaveButtonClick();
    EXPECT_TRUE(settings.ReadBool(Setting::PlayOnStartup));
    EXPECT_EQ(settings.ReadInteger(Setting::ScrollJump), 1);
    EXPECT_EQ(settings.ReadInteger(Setting::ScrollSpeed), 30);
    EXPECT_TRUE(settings.ReadBool(Setting::TimerEnabled));
    EXPECT_TRUE(dialogs.boxes.isEmpty());
}

// The format list follows the codec libraries (no codecs: only "MP2" and the note); the Bug
// page stays hidden until the window's own command 14101 shows it as the second page.
TEST_F(OptionsWindowTest, FormatsFollowCodecsAndBugPageOnCommand) {
    const QTemporaryDir empty;
    for (const QString& folder : {empty.path(), qEnvironmentVariable("TUNORA_TEST_BIN_DIR")}) {
        ProbeCodecs(folder);
        const bool all = Mp3Available() && OggAvailable() && WavAvailable();
        TOptionsForm* form = Open();
        EXPECT_EQ(form->ExtensionCombo->count(), all ? 4 : 1) << folder.toStdString();
        EXPECT_EQ(form->ExtensionCombo->itemText(0), QStringLiteral("MP2"));
        EXPECT_EQ(form->RecoderNote->isHidden(), all);
        delete form;
    }
    EXPECT_TRUE(Mp3Available() && OggAvailable() && WavAvailable());

    TOptionsForm* form = Open();
    EXPECT_FALSE(form->PageControl->isTabVisible(TOptionsForm::BugPage));
    EXPECT_FALSE(form->SystemCommand(TOptionsForm::kWhatItThisCommand + 1));
    form->WhatItThisAction->trigger();
    EXPECT_TRUE(form->PageControl->isTabVisible(TOptionsForm::BugPage));
    EXPECT_EQ(form->PageControl->currentIndex(), 1);
}

// The server restarts only when the port changed: a new password keeps its connections, port
// 0 stops it, a port starts it again, and 70000 is refused with the error box; a machine-wide
// hive that refuses writes leaves the stored values shown, without a message.
TEST_F(OptionsWindowTest, PortChangesRestartTheServer) {
    const std::uint16_t port = TSocket::Listen(0).LocalAddress().Port();
    settings.WriteInteger(Setting::ServerPort, port);
    THTTPServerManager manager(settings, tables, control);
    HTTPServerManager = &manager;
    const TSocketAddress address = TSocketAddress::FromText(QStringLiteral("127.0.0.1"), port);
    const TSocket client = TSocket::Connect(address);
    ASSERT_TRUE(client.IsValid());

    TOptionsForm* form = Open();
    form->PasswordEdit->setText(QStringLiteral("secret"));
    form->ApplyButtonClick();
    EXPECT_EQ(settings.ReadString(Setting::ServerPassword), QStringLiteral("secret"));
    EXPECT_EQ(client.WaitReadable(200), 0);  // still connected, nothing sent

    form->PortEdit->setText(QStringLiteral("0"));
    form->ApplyButtonClick();
    EXPECT_EQ(manager.Server(), nullptr);
    EXPECT_NE(client.WaitReadable(5000), 0);  // the session was ended
    EXPECT_EQ(form->PortEdit->text(), QString());

    form->PortEdit->setText(QString::number(port));
    form->ApplyButtonClick();
    ASSERT_NE(manager.Server(), nullptr);
    EXPECT_TRUE(manager.Server()->IsActive());
    EXPECT_TRUE(TSocket::Connect(address).IsValid());

    form->PortEdit->setText(QStringLiteral("70000"));
    form->ApplyButtonClick();
    EXPECT_TRUE(dialogs.Shown(1, DialogKind::Error,
                              QStringLiteral("Unable to start HTTP server on port 70000."),
                              DialogButtons::Ignore));
    EXPECT_FALSE(manager.Server()->IsActive());
    delete form;
    HTTPServerManager = nullptr;

    TSettingsWrapper refusing(
        SettingsKey(RegistryKey::Hive::User),
        RegistryKey(QStringLiteral("/proc/self/Tunora.conf"), TSettingsWrapper::KeyPath()), tables,
        0, 1920);
    form = Open(refusing);
    form->PortEdit->setText(QStringLiteral("1234"));
    form->TimerEnabledCheck->setChecked(true);
    form->ApplyButtonClick();
    EXPECT_EQ(form->PortEdit->text(), QString());
    EXPECT_FALSE(form->TimerEnabledCheck->isChecked());
    EXPECT_EQ(dialogs.boxes.size(), 1);
}

// "Select None" then Start scans the stored ensembles without asking; while it runs the window
// cannot save, close or change page; a tick the user changed is asked about and saved to the
// file first, so a cancelled scan keeps it; Start is disabled while anything records.
TEST_F(OptionsWindowTest, ScanPageFlow) {
    tables.SaveTables();  // what a cancelled scan goes back to
    TOptionsForm* form = Open();
    form->PageControl->setCurrentIndex(TOptionsForm::ScanPage);
    form->SelectNoneButtonClick();
    dialogs.answers.push_back(DialogResult::No);
    form->StartButtonClick();
    EXPECT_TRUE(dialogs.Shown(1, DialogKind::Confirmation, kRemoveAbsent, DialogButtons::YesNo));
    EXPECT_TRUE(form->ScanFrame1->Frame().IsScanning());
    EXPECT_EQ(form->ScanFrame1->Frame().GetWorkList().size(), IncludedEnsembles());
    for (QPushButton* button :
         {form->SaveButton, form->CancelButton, form->ApplyButton, form->StartButton}) {
        EXPECT_FALSE(button->isEnabled()) << button->text().toStdString();
    }
    form->PageControl->setCurrentIndex(TOptionsForm::GeneralPage);
    EXPECT_EQ(form->PageControl->currentIndex(), TOptionsForm::ScanPage);

    form->ScanCancelButtonClick();
    ASSERT_TRUE(PollUntil([&] { return form->SaveButton->isEnabled(); }));
    EXPECT_EQ(form->FrequencyList->item(0)->checkState(), Qt::Checked);  // reloaded states

    form->FrequencyList->item(0)->setCheckState(Qt::Unchecked);
    EXPECT_TRUE(form->FrequenciesChanged());
    dialogs.answers = {DialogResult::Ok, DialogResult::No};
    form->StartButtonClick();
    EXPECT_TRUE(dialogs.boxes[1].text.startsWith(QStringLiteral("The frequency table have")));
    form->ScanCancelButtonClick();
    ASSERT_TRUE(PollUntil([&] { return form->StartButton->isEnabled(); }));
    EXPECT_EQ(form->FrequencyList->item(0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(dialogs.boxes.size(), 3);

    TestRecorder recording(radioOne, tables, TRecorder::kKindRecording);
    control.AddRecorder(&recording);
    EXPECT_TRUE(PollUntil([&] { return !form->StartButton->isEnabled(); }));
    form->StartButtonClick();
    EXPECT_FALSE(form->ScanFrame1->Frame().IsScanning());
    control.RemoveRecorder(&recording);
}

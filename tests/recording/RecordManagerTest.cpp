// The record manager over the tuning controller and a receiver component double that delivers
// real Layer II frames on a thread of its own.

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <thread>

#include "CodecTestSupport.h"
#include "RecorderTestSupport.h"
#include "recording/RecorderFactory.h"
#include "recording/TRecordManager.h"
#include "recording/TRecorderCache.h"

namespace {

class RecordManagerTest : public ::testing::Test, public ReceiverWorld {
protected:
    RecordManagerTest()
        : manager(std::make_unique<TRecordManager>(control, tables, settings)),
          frames(FramesOf(MakeLayerTwo(48000, 2, 128, 12.0))) {
        Settle(k12B);
    }

    // Frames [from, to) of Radio One's primary component, delivered on a thread of the
    // receiver's own, as the component does.
    void Deliver(std::size_t from, std::size_t to) {
        std::thread receiver([&] {
            for (std::size_t i = from; i < to; ++i) {
                fake.Deliver(101, frames[i]);
            }
        });
        receiver.join();
    }
    QByteArray Expected(std::size_t from, std::size_t to) const {
        return Concat({frames.begin() + static_cast<std::ptrdiff_t>(from),
                       frames.begin() + static_cast<std::ptrdiff_t>(to)});
    }

    std::unique_ptr<TRecordManager> manager;
    std::vector<std::vector<std::uint8_t>> frames;
};

}  // namespace

// Record with the dialog open for a long time: audio is cached from the press, the file starts
// with those first frames and misses none; the dialog gets the filter, default extension, name
// and folder of the settings, and the chosen folder is stored as "SaveDir".
TEST_F(RecordManagerTest, DialogRecordingLosesNothingWhileTheDialogIsOpen) {
    settings.WriteString(Setting::SaveDir, QStringLiteral("/music/"));
    settings.WriteString(Setting::DefaultExtension, QString());
    const QString chosen = Path(QStringLiteral("Radio One.mp2"));
    QString cacheFile;
    dialogs.whileSaveOpen = [&] {
        auto* cache = dynamic_cast<TRecorderCache*>(manager->Recorder(radioOne));
        ASSERT_NE(cache, nullptr);
        cacheFile = cache->CacheFileName();
        EXPECT_EQ(control.RecordingCountValue(), 1);
        Deliver(0, 200);  // five seconds of audio while the user looks for a folder
    };
    dialogs.saveAnswers.push_back(SaveFileAnswer{chosen, 1});

    manager->ToggleRecording(radioOne);
    ASSERT_TRUE(manager->IsRecording(radioOne));
    ASSERT_EQ(dialogs.saveRequests.size(), 1);
    const SaveFileRequest& request = dialogs.saveRequests.first();
    EXPECT_EQ(request.filter, BuildSaveFilter(QString(), true));
    EXPECT_EQ(request.defaultExtension, QStringLiteral("MP2"));
    EXPECT_EQ(request.fileName, QStringLiteral("Radio One"));
    EXPECT_EQ(request.initialDir, QStringLiteral("/music/"));
    EXPECT_EQ(settings.ReadString(Setting::SaveDir), QFileInfo(chosen).absolutePath() + u'/');

    Deliver(200, frames.size());
    EXPECT_FALSE(QFileInfo::exists(cacheFile));  // the backlog has caught up
    manager->StopRecording(radioOne);
    EXPECT_FALSE(manager->IsRecording(radioOne));
    EXPECT_EQ(control.RecordingCountValue(), 0);
    EXPECT_EQ(ReadFile(chosen), Expected(0, frames.size()));
}

// Cancelling the dialog discards the cached audio and ends the recording; service 0 does
// nothing at all.
TEST_F(RecordManagerTest, CancelledDialogDiscardsTheCache) {
    QString cacheFile;
    dialogs.whileSaveOpen = [&] {
        cacheFile = dynamic_cast<TRecorderCache*>(manager->Recorder(radioOne))->CacheFileName();
        Deliver(0, 20);
    };
    settings.WriteString(Setting::DefaultExtension, QStringLiteral("wav"));
    manager->StartRecordingWithDialog(radioOne);
    ASSERT_EQ(dialogs.saveRequests.size(), 1);
    EXPECT_EQ(dialogs.saveRequests.first().defaultExtension, QStringLiteral("wav"));
    EXPECT_FALSE(manager->IsRecording(radioOne));
    EXPECT_EQ(control.RecordingCountValue(), 0);
    EXPECT_TRUE(control.GetAttachedRecorders().isEmpty());
    EXPECT_FALSE(cacheFile.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(cacheFile));

    manager->StartRecordingWithDialog(0);
    manager->ConfirmStopRecording(0);
    EXPECT_EQ(dialogs.saveRequests.size(), 1);
    EXPECT_EQ(TRecordManager::DefaultFileName(QStringLiteral("Jazz FM: 24/7 (ü)")),
              QStringLiteral("Jazz FM 247 "));
}

// The recording may be stopped, or stopped and started anew, while its save dialog is open: the
// chosen file then goes to nobody, and the new recording is neither stopped nor retargeted.
TEST_F(RecordManagerTest, DialogAnswerGoesOnlyToItsOwnCache) {
    const QString chosen = Path(QStringLiteral("chosen.mp2"));
    const QString other = Path(QStringLiteral("other.mp2"));
    for (const bool restart : {false, true}) {
        SCOPED_TRACE(restart);
        dialogs.whileSaveOpen = [&] {
            manager->StopRecording(radioOne);
            if (restart) {
                manager->StartRecording(radioOne, other);
            }
        };
        dialogs.saveAnswers.push_back(SaveFileAnswer{chosen, 1});
        manager->StartRecordingWithDialog(radioOne);
        EXPECT_EQ(manager->IsRecording(radioOne), restart);
        Deliver(0, 10);
        manager->StopRecording(radioOne);
        EXPECT_FALSE(QFileInfo::exists(chosen));
        EXPECT_EQ(ReadFile(other), restart ? Expected(0, 10) : QByteArray());
        QFile::remove(other);
    }
}

// Toggling a running recording asks "Do you want to stop recording <name> now?" (Yes/No): No
// keeps it recording, Yes stops it and closes the file.
TEST_F(RecordManagerTest, ToggleAsksBeforeStopping) {
    const QString name = Path(QStringLiteral("one.mp2"));
    manager->StartRecording(radioOne, name);
    Deliver(0, 10);

    dialogs.answers.push_back(DialogResult::No);
    manager->ToggleRecording(radioOne);
    EXPECT_TRUE(dialogs.Shown(1, DialogKind::Confirmation,
                              QStringLiteral("Do you want to stop recording Radio One now?"),
                              DialogButtons::YesNo));
    EXPECT_TRUE(manager->IsRecording(radioOne));
    Deliver(10, 20);

    dialogs.answers.push_back(DialogResult::Yes);
    manager->ToggleRecording(radioOne);
    EXPECT_FALSE(manager->IsRecording(radioOne));
    EXPECT_EQ(fake.Count("StopCapture 101"), 1);
    Deliver(20, 30);
    EXPECT_EQ(ReadFile(name), Expected(0, 20));
    EXPECT_TRUE(dialogs.saveRequests.isEmpty());
}

// A second start for the same service closes the first file before the second is created;
// destroying the manager stops what is left, converting a WAV recording to the end.
TEST_F(RecordManagerTest, RestartStopsTheFirstAndDestructionFinishesEverything) {
    const QString first = Path(QStringLiteral("first.mp2"));
    const QString second = Path(QStringLiteral("second.wav"));
    manager->StartRecording(radioOne, first);
    Deliver(0, 10);
    TRecorder* recorder = manager->StartRecording(radioOne, second);
    EXPECT_EQ(manager->Count(), 1);
    EXPECT_EQ(manager->Recorder(radioOne), recorder);
    EXPECT_EQ(control.RecordingCountValue(), 1);
    Deliver(10, 60);
    EXPECT_EQ(ReadFile(first), Expected(0, 10));

    manager.reset();
    EXPECT_EQ(control.RecordingCountValue(), 0);
    const QByteArray wav = ReadFile(second);
    ASSERT_GE(wav.size(), 44);
    const QByteArray mp2 = Expected(10, 60);
    const auto pcm = DecodeAll(std::vector<std::uint8_t>(mp2.begin(), mp2.end()));
    EXPECT_EQ(FieldAt(wav, 40), pcm.size());
    EXPECT_EQ(wav.mid(44), AsBytes(pcm));
}

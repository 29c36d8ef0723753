#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <atomic>
#include <stdexcept>
#include <thread>

#include "tests/receiver/TestRecorder.h"
#include "tests/support/Polling.h"
#include "tests/support/ReceiverWorld.h"

namespace {

class MainControlTest : public ::testing::Test, public ReceiverWorld {
protected:
    QString FileText(const QString& name) const {
        QFile file(env.ProgramDir() + u'/' + name);
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
    }
};

}  // namespace

// A service on the tuned, settled ensemble is selected at once without a tune or the timer. A
// service elsewhere retunes and waits; two quick requests for that ensemble make one tune and
// the second service plays when the receiver reports ready.
TEST_F(MainControlTest, PlaysAtOnceOrRetunesOnceForThePendingService) {
    Settle(k12B);
    fake.ClearCalls();
    control.PlayService(radioOne, false);
    EXPECT_FALSE(control.IsTuning());
    EXPECT_EQ(fake.Count("Tune"), 0);
    EXPECT_EQ(fake.Count("StartPlayback 101"), 1);
    EXPECT_EQ(control.PlayingServiceID(), radioOne);
    EXPECT_EQ(control.TunedSId(), 0xC0DEu);
    fake.ClearCalls();

    control.PlayService(otherA, true);
    control.PlayService(otherB, true);
    EXPECT_EQ(fake.Count("Tune"), 1);
    EXPECT_EQ(fake.Count("Tune 222.064"), 1);
    EXPECT_EQ(fake.Count("StopPlayback 101"), 1);
    EXPECT_TRUE(control.IsTuning());
    EXPECT_FALSE(control.IsSettled());
    EXPECT_EQ(control.CurrentService(), otherB);

    control.TheTimerTimer();  // not ready yet: keeps polling
    EXPECT_TRUE(control.IsTuning());
    EXPECT_EQ(fake.Count("StartPlayback"), 0);

    fake.ready = true;
    control.TheTimerTimer();
    EXPECT_FALSE(control.IsTuning());
    EXPECT_EQ(fake.Count("StartPlayback"), 1);
    EXPECT_EQ(fake.Count("StartPlayback 202"), 1);
    EXPECT_EQ(fake.Count("StartCapture 202"), 1);  // ShowAudioInfo went with it
    EXPECT_EQ(control.PlayingServiceID(), otherB);
    EXPECT_EQ(control.PendingServiceID(), 0);
    EXPECT_TRUE(control.AudioInfoEnabled());

    control.PlayService(0, false);
    EXPECT_EQ(fake.Count("StopPlayback 202"), 1);
    EXPECT_EQ(control.CurrentService(), 0);
}

// TheTimer itself polls every 100 ms while a tune runs and stops when it completes.
TEST_F(MainControlTest, TimerPollsUntilTheTuneCompletes) {
    EXPECT_FALSE(control.IsTuning());
    ASSERT_TRUE(control.TuneFrequency(k12B));
    EXPECT_TRUE(control.IsTuning());
    fake.ready = true;
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(PollUntil([this] { return !control.IsTuning(); }, 5000));
    EXPECT_TRUE(control.IsSettled());
    EXPECT_GE(clock.elapsed(), 90);
}

// A receiver failure while polling is shown in an error box and the polling goes on.
TEST_F(MainControlTest, TickShowsReceiverFailuresAndKeepsPolling) {
    ASSERT_TRUE(control.TuneFrequency(k12B));
    fake.failing = "GetServiceListReady";
    fake.ready = true;
    control.TheTimerTimer();
    EXPECT_TRUE(dialogs.Shown(
        1, DialogKind::Error,
        QStringLiteral("The receiver failed in GetServiceListReady (error 0x80004005)."),
        DialogButtons::Ok));
    EXPECT_TRUE(control.IsTuning());
    fake.failing.clear();
    control.TheTimerTimer();
    EXPECT_TRUE(control.IsSettled());
    EXPECT_FALSE(control.IsTuning());
}

// Recorders for another ensemble wait for the tune and are attached on completion; a retune
// detaches and uncounts the attached ones; kinds other than 0 and 1 are counted nowhere.
TEST_F(MainControlTest, PendingRecordersAttachOnCompletionAndCountsFollowAddAndRemove) {
    Settle(k12B);
    TestRecorder recording(radioOne, tables, 0);
    control.AddRecorder(&recording);
    EXPECT_EQ(fake.Count("StartCapture 101"), 1);
    EXPECT_EQ(control.RecordingCountValue(), 1);
    EXPECT_TRUE(control.HasRecordings());

    TestRecorder stream(otherA, tables, 1);
    TestRecorder second(otherB, tables, 0);
    TestRecorder other(otherB, tables, 7);
    control.AddRecorder(&stream);
    control.AddRecorder(&second);
    control.AddRecorder(&other);
    EXPECT_EQ(fake.Count("Tune 222.064"), 1);
    EXPECT_EQ(fake.Count("StopCapture 101"), 1);
    EXPECT_EQ(control.RecordingCountValue(), 1);  // the detached one is no longer counted
    EXPECT_EQ(control.StreamingCountValue(), 1);
    EXPECT_EQ(control.GetPendingRecorders().size(), 3);
    EXPECT_TRUE(control.GetAttachedRecorders().isEmpty());
    EXPECT_EQ(fake.Count("StartCapture 201"), 0);

    fake.ready = true;
    control.TheTimerTimer();
    EXPECT_TRUE(control.GetPendingRecorders().isEmpty());
    EXPECT_EQ(control.GetAttachedRecorders().size(), 3);
    EXPECT_EQ(fake.Count("StartCapture 201"), 1);
    EXPECT_EQ(fake.Count("StartCapture 202"), 1);
    EXPECT_EQ(control.RecordingCountValue(), 1);
    EXPECT_EQ(control.StreamingCountValue(), 1);
    fake.Deliver(201, {9, 9});
    EXPECT_EQ(stream.blocks.size(), 1u);

    control.RemoveRecorder(&stream);
    EXPECT_EQ(control.StreamingCountValue(), 0);
    EXPECT_EQ(fake.Count("StopCapture 201"), 1);
    control.RemoveRecorder(&recording);  // already detached by the retune: nothing happens
    TestRecorder stranger(otherA, tables, 0);
    control.RemoveRecorder(&stranger);
    EXPECT_EQ(control.RecordingCountValue(), 1);
    control.RemoveRecorder(&second);
    control.RemoveRecorder(&other);
    EXPECT_FALSE(control.IsBusy());
    EXPECT_TRUE(wrapper.Recorders().isEmpty());
}

// CanUseService and LockedFrequency: free while nothing runs, refused for everything during a
// scan, bound to the tuned ensemble by recordings (and by streams unless RecordingsOnly).
TEST_F(MainControlTest, CanUseServiceAndLockedFrequency) {
    Settle(k12B);
    EXPECT_TRUE(control.CanUseService(otherA, false));
    EXPECT_EQ(control.LockedFrequency(), 0.0);

    control.SetScanLock(true);
    EXPECT_FALSE(control.CanUseService(otherA, true));
    EXPECT_TRUE(control.CanUseService(0, false));
    EXPECT_EQ(control.LockedFrequency(), -1.0);

    TestRecorder recording(radioOne, tables, 0);
    control.AddRecorder(&recording);
    EXPECT_EQ(control.LockedFrequency(), k12B);
    control.SetScanLock(false);
    EXPECT_FALSE(control.CanUseService(otherA, false));
    EXPECT_FALSE(control.CanUseService(otherA, true));
    EXPECT_TRUE(control.CanUseService(radioOne, true));
    control.RemoveRecorder(&recording);

    TestRecorder stream(radioOne, tables, 1);
    control.AddRecorder(&stream);
    EXPECT_TRUE(control.HasStreams());
    EXPECT_TRUE(control.CanUseService(otherA, true));
    EXPECT_FALSE(control.CanUseService(otherA, false));
    EXPECT_EQ(control.LockedFrequency(), k12B);
    control.RemoveRecorder(&stream);
}

// Every completed tune merges the ensemble into the tables and rewrites both files; new
// component labels under a known SId get 128, 129, ... and keep them.
TEST_F(MainControlTest, MergesAndSavesTheTablesAfterEachTune) {
    Settle(k12B);
    QString services = FileText(QStringLiteral("Services.csv"));
    for (const char* line : {"\"$C0DE\",\"0\",\"225.648\",\"Radio One\",\"A\",\"10\"\r\n",
                             "\"$C0DE\",\"128\",\"225.648\",\"One Extra\",\"A\",\"10\"\r\n",
                             "\"$C0DE\",\"129\",\"225.648\",\"One Sport\",\"A\",\"10\"\r\n",
                             "\"$00C1\",\"0\",\"225.648\",\"Data Link\",\"T\",\"0\"\r\n"}) {
        EXPECT_TRUE(services.contains(QString::fromLatin1(line))) << line;
    }
    EXPECT_TRUE(FileText(QStringLiteral("Ensemble.csv"))
                    .contains(QStringLiteral("\"225.648\",\"12B\",\"2\",\"Tunora Mux\"\r\n")));

    fake.air[k11D].services[0].label = "Other A New";
    Settle(k11D);
    services = FileText(QStringLiteral("Services.csv"));
    EXPECT_TRUE(services.contains(QStringLiteral("\"Other A New\"")));
    EXPECT_TRUE(services.contains(QStringLiteral("\"One Sport\"")));

    auto& one = fake.air[k12B].services[0];
    one.components.insert(one.components.begin() + 1, {105, "One Night", 1, 0});
    Settle(k12B);
    EXPECT_EQ(tables.AllocateSecondary(0xC0DE, QStringLiteral("One Night"), false), 130);
    EXPECT_EQ(tables.AllocateSecondary(0xC0DE, QStringLiteral("One Extra"), false), 128);
    EXPECT_EQ(tables.AllocateSecondary(0xC0DE, QStringLiteral("One Sport"), false), 129);
    EXPECT_TRUE(FileText(QStringLiteral("Services.csv"))
                    .contains(QStringLiteral("\"$C0DE\",\"130\",\"225.648\",\"One Night\"")));
}

// A service the tuned ensemble does not list still becomes the playing one, with the plain box.
TEST_F(MainControlTest, UnavailableServiceIsReportedAndStaysSelected) {
    const std::int32_t gone = tables.AddService(0xBEEF, 0, QStringLiteral("Gone"), u'A', 0, k12B);
    Settle(k12B);
    control.PlayService(gone, false);
    EXPECT_TRUE(dialogs.Shown(1, DialogKind::Plain,
                              QStringLiteral("Service is currently unavailable."),
                              DialogButtons::Ok));
    EXPECT_EQ(control.PlayingServiceID(), gone);
    EXPECT_FALSE(control.IsServiceOnAir(gone));
    EXPECT_TRUE(control.IsServiceOnAir(radioOne));
    EXPECT_FALSE(control.IsServiceOnAir(0));
}

// A refused tune shows the error box with the frequency and the ensemble's label (else its
// channel name) and clears the pending service.
TEST_F(MainControlTest, RefusedTuneShowsTheErrorBox) {
    fake.refused.insert(k12B);
    control.PlayService(radioOne, false);
    EXPECT_TRUE(dialogs.Shown(1, DialogKind::Error,
                              QStringLiteral("Unable to tune to 225.648MHz (12B)."),
                              DialogButtons::Cancel));
    EXPECT_EQ(control.PendingServiceID(), 0);
    EXPECT_FALSE(control.IsTuning());
    EXPECT_FALSE(control.IsServiceOnAir(radioOne));

    fake.refused.clear();
    Settle(k12B);
    Settle(k11D);
    fake.refused.insert(k12B);
    EXPECT_FALSE(control.TuneFrequency(k12B));
    EXPECT_TRUE(dialogs.Shown(2, DialogKind::Error,
                              QStringLiteral("Unable to tune to 225.648MHz (Tunora Mux)."),
                              DialogButtons::Cancel));
    EXPECT_FALSE(control.TuneFrequency(0));  // without a box
}

// Labels are cleaned of the label control codes (line feed and 0x0B become blanks, 0x1F goes);
// suspending releases the receiver and resuming creates it again.
TEST_F(MainControlTest, LabelsAudioInfoAndSuspend) {
    Settle(k12B);
    control.PlayService(radioOne, false);
    fake.dynamicLabels[101] =
        "Now\non\x0B"
        "air\x1F"
        "!";
    EXPECT_EQ(control.GetDynamicLabel(), QStringLiteral("Now on air!"));
    EXPECT_EQ(control.GetStreamLabel(101), QStringLiteral("Now on air!"));
    EXPECT_EQ(control.EnsembleLabel(), QStringLiteral("Tunora Mux"));

    control.SetSuspended(true);
    EXPECT_EQ(fake.released, 1);
    control.SetSuspended(false);
    EXPECT_EQ(created, 2);
}

// Another thread's call runs on the controller's thread and waits for it; the task's error is
// raised in the caller.
TEST_F(MainControlTest, RunOnMainThreadHandsOverAndWaits) {
    QThread* ranOn = nullptr;
    bool raised = false;
    std::atomic<bool> done{false};
    std::thread caller([&] {
        control.RunOnMainThread([&] { ranOn = QThread::currentThread(); });
        try {
            control.RunOnMainThread([] { throw std::runtime_error("boom"); });
        } catch (const std::runtime_error&) {
            raised = true;
        }
        done = true;
    });
    PollUntil([&] { return done.load(); }, 5000);
    caller.join();
    EXPECT_EQ(ranOn, control.thread());
    EXPECT_TRUE(raised);

    bool direct = false;
    control.RunOnMainThread([&] { direct = QThread::currentThread() == control.thread(); });
    EXPECT_TRUE(direct);
}

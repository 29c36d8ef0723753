#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>

#include "services/TScanFrame.h"
#include "tests/support/ReceiverWorld.h"

namespace {

constexpr double k11B = 218.64;
constexpr double k11C = 220.352;
constexpr double k12A = 223.936;
constexpr double k12D = 229.072;

const QString kSearching = "Searching for multiplexes...";

// The demo air with every ensemble on air at once after a tune, played unpaced.
struct FastDemoAir {
    FastDemoAir() {
        QFile demo(QFileInfo(TestEnv::SimulatedReceiver()).absolutePath() + "/demo.air");
        EXPECT_TRUE(demo.open(QIODevice::ReadOnly));
        QFile file(dir.filePath("demo-fast.air"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QString::fromUtf8(demo.readAll())
                       .replace(QRegularExpression("settle=\\d+"), "settle=0")
                       .toUtf8());
        ::setenv("TUNORA_AIR_FILE", QFile::encodeName(file.fileName()).constData(), 1);
        ::setenv("TUNORA_SIM_UNPACED", "1", 1);
    }
    QTemporaryDir dir;
};

// The simulated receiver on that air, the program's tables in a fresh folder, and the
// controller and a scan frame over them.
class ScanTest : public ::testing::Test {
protected:
    ScanTest() {
        QObject::connect(frame.get(), &TScanFrame::ScanEnded, [this] { ++ended; });
    }

    // Leaves only `frequency` to be scanned (none for 0).
    void ScanOnly(double frequency) {
        for (const TEnsembleRecord& e : tables.Ensembles()) {
            tables.SetEnsembleState(e.Frequency == frequency ? 2 : 0, e.Frequency);
        }
    }

    // A saved table that already holds a service no longer on air (12A carries nothing).
    void SaveOldService() {
        tables.AddService(0xC0FF, 0, "Old Station", u'A', 1, k12A);
        tables.SaveTables();
    }

    // Tunes the controller by hand and lets it complete, as the bar would have left it.
    void TuneTo(double frequency) {
        ASSERT_TRUE(control.TuneFrequency(frequency));
        control.TheTimerTimer();
        ASSERT_TRUE(control.IsSettled());
    }

    // One 100 ms step of the event loop: the controller's poll, then the scan's tick.
    void Tick(TScanFrame& f) {
        if (control.IsTuning()) {
            control.TheTimerTimer();
        }
        f.TheTimerTimer();
    }

    // Ticks until the scan ends or `until` holds; false when neither happened in time.
    bool Run(const std::function<bool()>& until = {}) {
        for (int i = 0; i < 5000; ++i) {
            if (!frame->IsScanning() || (until && until())) {
                return true;
            }
            Tick(*frame);
        }
        return false;
    }

    int FoundLines() const {
        int n = 0;
        for (const QString& line : frame->Lines()) {
            n += line.endsWith(" found.") && !line.endsWith(" not found.");
        }
        return n;
    }

    QStringList ServiceLabels() const {
        QStringList labels;
        for (const TServiceRecord& r : tables.Services()) {
            labels.append(r.Label);
        }
        labels.sort();
        return labels;
    }

    FastDemoAir air;
    ReceiverWorld world{ReceiverWorld::Tables::Empty, ReceiverWorld::Component::Simulated};
    TestEnv& env = world.env;
    ScriptedDialogs& dialogs = world.dialogs;
    TServiceTablesWrapper& tables = world.tables;
    TMainControl& control = world.control;
    std::unique_ptr<TScanFrame> frame = std::make_unique<TScanFrame>(control, tables);
    int ended = 0;
};

const QStringList kDemoServices = {
    "Brightwater Gold", "Harbour FM",      "Harbour Traffic", "Kestrel Country", "Lowfield Guide",
    "Lowfield Radio",   "Northgate Extra", "Northgate Sport", "Saltmarsh Talk",  "Skylark Chill",
    "Skylark Dance",    "Vale Classic",    "Vale Jazz Cafe",
};

}  // namespace

// A first run scans the seven UK channels in table order, finds the six demo ensembles, logs
// 12A as not found after its 80 ticks, and learns every service without asking anything; a
// second scan started meanwhile is refused with an error box and leaves both the new frame (idle,
// empty log) and the running scan undisturbed.
TEST_F(ScanTest, FirstRunScanFindsTheDemoEnsemblesInOrder) {
    ASSERT_TRUE(frame->StartScan());
    EXPECT_TRUE(control.GetScanLock());
    EXPECT_FALSE(control.CanUseService(1, false));
    TScanFrame second(control, tables);
    EXPECT_FALSE(second.StartScan());
    EXPECT_TRUE(dialogs.Shown(1, DialogKind::Error, "Already scanning.", DialogButtons::Abort));
    EXPECT_TRUE(second.Lines().isEmpty());
    EXPECT_FALSE(second.IsScanning());
    ASSERT_TRUE(Run());

    EXPECT_EQ(frame->Lines(),
              QStringList({kSearching, QString(), "Harbourline DAB found.", "Vale Digital found.",
                           "Meridian Mux found.", "12A not found.", "Lowfield Local found.",
                           "Skylark Networks found.", "Brightwater found.", QString(),
                           "Scan complete."}));
    EXPECT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(control.GetScanLock());
    EXPECT_FALSE(frame->IsTimerActive());
    EXPECT_EQ(frame->Position(), 0);
    EXPECT_EQ(ServiceLabels(), kDemoServices);
}

// With every frequency excluded the scan ends at once with "Scan complete." and saves the
// (cleared) tables; an empty service table is cleared without the removal question.
TEST_F(ScanTest, EmptyWorkListCompletesAtOnceAndSaves) {
    ScanOnly(0);
    ASSERT_FALSE(QFile::exists(env.ProgramDir() + "/Ensemble.csv"));
    ASSERT_TRUE(frame->StartScan());
    EXPECT_FALSE(frame->IsTimerActive());
    EXPECT_EQ(frame->Lines(), QStringList({kSearching, QString(), QString(), "Scan complete."}));
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(dialogs.boxes.isEmpty());
    EXPECT_TRUE(QFile::exists(env.ProgramDir() + "/Ensemble.csv"));
    EXPECT_TRUE(QFile::exists(env.ProgramDir() + "/Services.csv"));
}

// Answering Yes empties the table; cancelling after two ensembles reloads what the controller
// saved after each: those two ensembles' services and labels, and nothing of the old table.
TEST_F(ScanTest, CancelAfterTwoEnsemblesKeepsThoseTwo) {
    SaveOldService();
    dialogs.answers.push_back(DialogResult::Yes);
    ASSERT_TRUE(frame->StartScan());
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].kind, DialogKind::Confirmation);
    EXPECT_EQ(dialogs.boxes[0].text, "Do you want to remove absent services from Tunora?");
    EXPECT_EQ(dialogs.boxes[0].buttons, DialogButtons::YesNo);

    ASSERT_TRUE(Run([this] { return FoundLines() == 2; }));
    frame->CancelScan();
    EXPECT_EQ(frame->Lines().mid(frame->Lines().size() - 2),
              QStringList({QString(), "Scan cancelled."}));
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(frame->IsScanning());
    EXPECT_FALSE(control.GetScanLock());
    EXPECT_EQ(ServiceLabels(), QStringList({"Harbour FM", "Harbour Traffic", "Saltmarsh Talk",
                                            "Vale Classic", "Vale Jazz Cafe"}));
    EXPECT_EQ(tables.GetEnsembleLabel(k11B), "Harbourline DAB");
    EXPECT_EQ(tables.GetEnsembleLabel(k11C), "Vale Digital");
    EXPECT_EQ(tables.GetEnsembleLabel(222.064), "11D");

    // A cancelled scan stays cancelled: later ticks do nothing.
    const QStringList lines = frame->Lines();
    Tick(*frame);
    EXPECT_EQ(frame->Lines(), lines);
    EXPECT_FALSE(frame->IsTimerActive());
}

// When the receiver already sits on the first frequency, the second one is scanned first;
// answering No keeps a service that is no longer broadcast, next to everything found and saved.
TEST_F(ScanTest, TunedFirstFrequencySwapsWithTheSecond) {
    SaveOldService();
    TuneTo(k11B);
    dialogs.answers.push_back(DialogResult::No);
    ASSERT_TRUE(frame->StartScan());
    ASSERT_GE(frame->GetWorkList().size(), 2);
    EXPECT_EQ(frame->GetWorkList()[0].Object, 220352);
    EXPECT_EQ(frame->GetWorkList()[1].Object, 218640);
    ASSERT_TRUE(Run());
    EXPECT_EQ(
        frame->Lines().mid(2, 3),
        QStringList({"Vale Digital found.", "Harbourline DAB found.", "Meridian Mux found."}));
    EXPECT_EQ(frame->Lines().last(), "Scan complete.");
    QStringList expected = kDemoServices;
    expected.append("Old Station");
    expected.sort();
    EXPECT_EQ(ServiceLabels(), expected);
    TServiceTablesWrapper reread(env.ProgramDir(), dialogs);
    EXPECT_NE(reread.FindService(0xC0FF, 0), 0);
    EXPECT_EQ(reread.Services().size(), expected.size());
    EXPECT_EQ(reread.GetEnsembleLabel(k12D), "Brightwater");
}

// A single frequency that is already tuned: the scan tunes away to 12D and waits its 80 ticks
// from the timer (StartScan returns at once, the log untouched), then searches as usual; what
// the receiver found on the excluded 12D is not merged.
TEST_F(ScanTest, SingleTunedFrequencyTunesAwayWithoutBlocking) {
    ScanOnly(k11B);
    TuneTo(k11B);
    dialogs.answers.push_back(DialogResult::No);  // keep the learnt services
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(frame->StartScan());
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(frame->IsTimerActive());
    EXPECT_EQ(control.TunedFrequency(), k12D);
    EXPECT_TRUE(frame->Lines().isEmpty());

    for (int i = 1; i < TScanFrame::kProgressMaximum; ++i) {
        QCoreApplication::processEvents();  // the main thread is free between ticks
        Tick(*frame);
        ASSERT_EQ(frame->Position(), i);
    }
    EXPECT_TRUE(frame->Lines().isEmpty());
    EXPECT_EQ(control.TunedFrequency(), k12D);
    Tick(*frame);
    EXPECT_EQ(frame->Lines(), QStringList({kSearching, QString()}));
    EXPECT_EQ(control.TunedFrequency(), k11B);
    EXPECT_EQ(frame->Position(), 0);

    ASSERT_TRUE(Run());
    EXPECT_EQ(frame->Lines().mid(2),
              QStringList({"Harbourline DAB found.", QString(), "Scan complete."}));
    EXPECT_FALSE(ServiceLabels().contains("Brightwater Gold"));
    EXPECT_EQ(tables.GetEnsembleLabel(k12D), "12D");
}

// The tune-away channel missing from the ensemble table (another channel set) stays missing.
TEST_F(ScanTest, TuneAwayAddsNoEnsemble) {
    tables.BuildChannelTable(-1);
    tables.AddEnsemble("11B", 2, QString(), k11B);
    TuneTo(k11B);
    dialogs.answers.push_back(DialogResult::Yes);
    ASSERT_TRUE(frame->StartScan());
    ASSERT_TRUE(Run());
    EXPECT_EQ(tables.Ensembles().size(), 1);
    EXPECT_FALSE(ServiceLabels().contains("Brightwater Gold"));
    EXPECT_TRUE(ServiceLabels().contains("Harbour FM"));
}

// A frequency the receiver refuses is logged as "Tuning error ..." after the controller's box,
// and the scan goes on with the next frequency.
TEST_F(ScanTest, RefusedTuneIsLoggedAndSkipped) {
    ScanOnly(k12D);
    tables.AddEnsemble(QString(), 2, QString(), 100.0);  // outside every DAB band
    ASSERT_TRUE(frame->StartScan());
    ASSERT_TRUE(Run());
    EXPECT_EQ(frame->Lines(), QStringList({kSearching, QString(), "Brightwater found.",
                                           "Tuning error ...", QString(), "Scan complete."}));
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith("Unable to tune to 100MHz"));
}

// A click near the right end of the progress bar ends the wait for an empty channel at the
// next tick; a click at the left end restarts it.
TEST_F(ScanTest, ProgressBarClickEndsTheWait) {
    ScanOnly(k12A);
    ASSERT_TRUE(frame->StartScan());
    Tick(*frame);
    Tick(*frame);
    frame->ProgressBarClick(0, 200);
    EXPECT_EQ(frame->Position(), 0);
    frame->ProgressBarClick(100, 200);
    EXPECT_EQ(frame->Position(), 40);
    frame->ProgressBarClick(199, 200);  // 79.6 rounds to 80
    EXPECT_EQ(frame->Position(), 80);
    Tick(*frame);
    EXPECT_EQ(frame->Lines(),
              QStringList({kSearching, QString(), "12A not found.", QString(), "Scan complete."}));
}

// A cancel before any ensemble was found brings back the tables as last saved: on a first run
// the channels to scan, though no ensemble table had been saved; after Yes emptied the services
// at once, the absent ones. Destroying a scanning frame cancels too.
TEST_F(ScanTest, CancelBeforeAnythingFoundRestoresTheSavedTables) {
    ASSERT_TRUE(frame->StartScan());
    frame->CancelScan();
    EXPECT_EQ(tables.Ensembles().size(), 7);
    EXPECT_TRUE(tables.Services().isEmpty());

    SaveOldService();
    dialogs.answers.push_back(DialogResult::Yes);
    ASSERT_TRUE(frame->StartScan());
    EXPECT_EQ(tables.CountServices(u' '), 0);
    frame->CancelScan();
    EXPECT_EQ(ServiceLabels(), QStringList({"Old Station"}));
    EXPECT_EQ(frame->Lines(), QStringList({kSearching, QString(), QString(), "Scan cancelled."}));

    dialogs.answers.push_back(DialogResult::No);
    ASSERT_TRUE(frame->StartScan());
    ASSERT_TRUE(Run([this] { return FoundLines() == 1; }));
    frame.reset();
    EXPECT_FALSE(control.GetScanLock());
    EXPECT_EQ(tables.CountServices(u'A'), 2 + 1);  // the first ensemble's and the kept one
}

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "platform/RegistryKey.h"
#include "receiver/TMainControl.h"
#include "receiver/TStreamInfo.h"
#include "receiver/TViaDABWrapper.h"
#include "recording/TRecorder.h"
#include "services/TServiceTablesWrapper.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestEnv.h"

namespace {

// Formats chosen for both ScF-CRC lengths: 48 kHz at 128 and 64 kbit/s (4 bytes), at 96 stereo
// and 48 mono (2 bytes), and 24 kHz (always 4).
const char kAir[] = R"(option unpaced
ensemble 225.648 eid=0xC1D4 label="Test Mux" error=0.01 settle=0
service sid=0xC0DE label="Sim Stereo" pty=10
audio label="Sim Stereo" bitrate=128 mode=stereo rate=48 content=music programme=chords key=0 rotate=2
dls "One"
dls "Two segments: 0123456789"
dls "Three segments of label text, 0123456789"
dls remove
service sid=0xC0DF label="Sim Low" pty=1
audio label="Sim Low" bitrate=96 mode=joint rate=48 content=speech programme=speech key=0 rotate=2
dls "Low rate stereo label"
service sid=0xC0E0 label="Sim Half" pty=1
audio label="Sim Half" bitrate=48 mode=mono rate=24 content=speech programme=speech key=0 rotate=2
dls "Half rate label, three segments long"
service sid=0xC0E1 label="Sim Mono" pty=10
audio label="Sim Mono" bitrate=48 mode=mono rate=48 content=music programme=melody key=0 rotate=2
dls "Mono label"
service sid=0xC0E2 label="Sim Mono 64" pty=10
audio label="Sim Mono 64" bitrate=64 mode=mono rate=48 content=music programme=melody key=0 rotate=2
dls "Mono 64 label"
ensemble 222.064 eid=0xC1C3 label="Second Mux" error=0.002 settle=50
service sid=0xD001 label="Second One" pty=4
audio label="Second One" bitrate=128 mode=stereo rate=48 content=music programme=melody key=0 rotate=2
dls "Second label"
)";

// Decodes every block it is given with a decoder of its own and keeps each label it completes,
// in order, so no label is missed between two looks from the test thread.
class DecodingRecorder : public TRecorder {
public:
    explicit DecodingRecorder(std::uint32_t sid, std::int32_t serviceId = 0)
        : TRecorder(serviceId, sid, QString()), info_(0) {}
    int RecorderKind() const override { return 1; }
    bool WantsPAD() const override { return true; }
    void WriteBlock(const std::uint8_t* buffer, std::int32_t count) override {
        std::lock_guard guard(mutex_);
        info_.ProcessFrame(buffer, count);
        const StreamInfoRecord r = info_.Record();
        if (labels_.empty() || labels_.back() != r.DynamicLabel) {
            labels_.push_back(r.DynamicLabel);
        }
        last_ = r;
        ++frames_;
    }
    std::vector<QString> Labels() const {
        std::lock_guard guard(mutex_);
        return labels_;
    }
    StreamInfoRecord Last() const {
        std::lock_guard guard(mutex_);
        return last_;
    }
    int Frames() const {
        std::lock_guard guard(mutex_);
        return frames_;
    }

private:
    mutable std::mutex mutex_;
    TStreamInfo info_;
    std::vector<QString> labels_;
    StreamInfoRecord last_;
    int frames_ = 0;
};

bool Contains(const std::vector<QString>& labels, const QString& text) {
    return std::find(labels.begin(), labels.end(), text) != labels.end();
}

// The simulated receiver, registered in a fresh environment and playing the air above unpaced.
class SimTest : public ::testing::Test {
protected:
    SimTest() {
        const QString airFile = env.File(QStringLiteral("test.air"));
        QFile file(airFile);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(kAir);
        }
        ::setenv("TUNORA_AIR_FILE", airFile.toLocal8Bit().constData(), 1);
        ::setenv("TUNORA_SIM_UNPACED", "1", 1);
        RegistryKey(RegistryKey::HiveFile(RegistryKey::Hive::Classes),
                    QString::fromLatin1(CoViadabRxServerKey))
            .WriteString(QString(), QStringLiteral(SIM_COMPONENT_PATH));
    }

    TestEnv env;
};

}  // namespace

// The simulated receiver's frames, decoded by the event sink and by a second decoder in a
// recorder: every dynamic label (one, two and three segments, both ScF-CRC lengths, 24 kHz),
// the remove-label command, the music/speech flag, bit rate and stereo come out as sent.
TEST_F(SimTest, DecodesTheSimulatedReceiversFrames) {
    TViaDABWrapper wrapper(&TReceiverComponent::CreateRegistered);
    ASSERT_TRUE(wrapper.Tune(225.648));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!wrapper.IsServiceListReady() && std::chrono::steady_clock::now() < deadline) {
        QThread::msleep(10);
    }
    ASSERT_TRUE(wrapper.IsServiceListReady());
    EXPECT_EQ(wrapper.GetReceiverEnsembleLabel(), QStringLiteral("Test Mux"));

    struct Expected {
        std::uint32_t sid;
        std::vector<QString> labels;
        int bitrate;
        int stereo;
        int musicSpeech;
    };
    const std::vector<Expected> expected = {
        {0xC0DE,
         {QStringLiteral("One"), QStringLiteral("Two segments: 0123456789"),
          QStringLiteral("Three segments of label text, 0123456789")},
         128,
         1,
         1},
        {0xC0DF, {QStringLiteral("Low rate stereo label")}, 96, 1, 2},
        {0xC0E0, {QStringLiteral("Half rate label, three segments long")}, 48, 0, 2},
        {0xC0E1, {QStringLiteral("Mono label")}, 48, 0, 1},
        {0xC0E2, {QStringLiteral("Mono 64 label")}, 64, 0, 1},
    };
    std::vector<std::unique_ptr<DecodingRecorder>> recorders;
    for (const Expected& e : expected) {
        recorders.push_back(std::make_unique<DecodingRecorder>(e.sid));
        wrapper.AttachRecorder(recorders.back().get());
        ASSERT_NE(recorders.back()->StreamHandle(), 0) << std::hex << e.sid;
    }

    auto allSeen = [&] {
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const auto labels = recorders[i]->Labels();
            for (const QString& l : expected[i].labels) {
                if (!Contains(labels, l)) {
                    return false;
                }
            }
        }
        // The remove command: after a label, the display goes blank again.
        const auto first = recorders[0]->Labels();
        return std::find(first.begin() + 1, first.end(), QString()) != first.end();
    };
    while (!allSeen() && std::chrono::steady_clock::now() < deadline) {
        QThread::msleep(20);
    }

    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Expected& e = expected[i];
        const DecodingRecorder& r = *recorders[i];
        const auto labels = r.Labels();
        for (const QString& l : e.labels) {
            EXPECT_TRUE(Contains(labels, l)) << std::hex << e.sid << ": " << l.toStdString();
        }
        for (const QString& l : labels) {
            EXPECT_TRUE(l.isEmpty() || Contains(e.labels, l)) << "unexpected " << l.toStdString();
        }
        const StreamInfoRecord info = wrapper.Events()->GetStreamInfo(r.StreamHandle());
        EXPECT_EQ(info.Bitrate, e.bitrate) << std::hex << e.sid;
        EXPECT_EQ(info.Stereo, e.stereo) << std::hex << e.sid;
        EXPECT_EQ(info.MusicSpeech, e.musicSpeech) << std::hex << e.sid;
        EXPECT_TRUE(info.DynamicLabel.isEmpty() || Contains(e.labels, info.DynamicLabel));
    }
    const auto first = recorders[0]->Labels();
    EXPECT_NE(std::find(first.begin() + 1, first.end(), QString()), first.end())
        << "the remove-label command never cleared the label";

    for (auto& r : recorders) {
        wrapper.DetachRecorder(r.get());
    }
}

// The controller on the simulated receiver: a tune completes through the timer and is merged
// into the tables, a service plays at once on its ensemble, and a recorder for another ensemble
// waits for the retune and then receives the frames.
TEST_F(SimTest, ControllerTunesLearnsAndFeedsRecorders) {
    ScriptedDialogs dialogs;
    TServiceTablesWrapper tables(env.ProgramDir(), dialogs);
    TViaDABWrapper wrapper(&TReceiverComponent::CreateRegistered);
    TMainControl control(wrapper, tables);
    auto settle = [&] {
        QElapsedTimer clock;
        clock.start();
        while (control.IsTuning() && clock.elapsed() < 20000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return control.IsSettled();
    };

    ASSERT_TRUE(control.TuneFrequency(225.648));
    ASSERT_TRUE(settle());
    const std::int32_t stereo = tables.FindService(0xC0DE, 0);
    ASSERT_NE(stereo, 0);
    EXPECT_EQ(tables.GetServiceLabel(stereo), QStringLiteral("Sim Stereo"));
    EXPECT_EQ(tables.GetServiceKind(stereo), QLatin1Char('A'));
    EXPECT_EQ(tables.GetEnsembleLabel(225.648), QStringLiteral("Test Mux"));

    control.PlayService(stereo, true);
    EXPECT_FALSE(control.IsTuning());
    EXPECT_EQ(control.TunedSId(), 0xC0DEu);
    EXPECT_TRUE(control.AudioInfoEnabled());

    const std::int32_t second =
        tables.AddService(0xD001, 0, QStringLiteral("Second One"), u'A', 4, 222.064);
    DecodingRecorder recorder(0xD001, second);
    control.AddRecorder(&recorder);
    EXPECT_TRUE(control.IsTuning());
    EXPECT_EQ(control.GetPendingRecorders().size(), 1);
    ASSERT_TRUE(settle());
    EXPECT_EQ(control.GetAttachedRecorders().size(), 1);
    QElapsedTimer clock;
    clock.start();
    while (!Contains(recorder.Labels(), QStringLiteral("Second label")) &&
           clock.elapsed() < 20000) {
        QThread::msleep(20);
    }
    EXPECT_TRUE(Contains(recorder.Labels(), QStringLiteral("Second label")));
    EXPECT_EQ(control.StreamingCountValue(), 1);
    control.RemoveRecorder(&recorder);
    EXPECT_TRUE(dialogs.boxes.isEmpty());
}

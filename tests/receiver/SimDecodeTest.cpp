#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "receiver/TStreamInfo.h"
#include "recording/TRecorder.h"
#include "tests/support/Polling.h"
#include "tests/support/ReceiverWorld.h"

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

bool Contains(const std::vector<QString>& labels, const QString& text) {
    return std::find(labels.begin(), labels.end(), text) != labels.end();
}

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
        const QString label = info_.Record().DynamicLabel;
        if (labels_.empty() || labels_.back() != label) {
            labels_.push_back(label);
        }
    }
    std::vector<QString> Labels() const {
        std::lock_guard guard(mutex_);
        return labels_;
    }
    // Whether every one of `wanted` has been seen.
    bool Saw(const std::vector<QString>& wanted) const {
        const auto seen = Labels();
        return std::all_of(wanted.begin(), wanted.end(),
                           [&](const QString& l) { return Contains(seen, l); });
    }

private:
    mutable std::mutex mutex_;
    TStreamInfo info_;
    std::vector<QString> labels_;
};

// The simulated receiver, registered in a fresh environment and playing the air above unpaced.
class SimTest : public ::testing::Test {
protected:
    SimTest() {
        const QString airFile = env.File("test.air");
        QFile file(airFile);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(kAir);
        }
        ::setenv("TUNORA_AIR_FILE", airFile.toLocal8Bit().constData(), 1);
        ::setenv("TUNORA_SIM_UNPACED", "1", 1);
        env.RegisterReceiver();
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
    ASSERT_TRUE(PollUntil([&] { return wrapper.IsServiceListReady(); }, 20000));
    EXPECT_EQ(wrapper.GetReceiverEnsembleLabel(), "Test Mux");

    struct Expected {
        std::uint32_t sid;
        std::vector<QString> labels;
        int bitrate, stereo, musicSpeech;
    };
    const Expected expected[] = {
        {0xC0DE,
         {"One", "Two segments: 0123456789", "Three segments of label text, 0123456789"},
         128,
         1,
         1},
        {0xC0DF, {"Low rate stereo label"}, 96, 1, 2},
        {0xC0E0, {"Half rate label, three segments long"}, 48, 0, 2},
        {0xC0E1, {"Mono label"}, 48, 0, 1},
        {0xC0E2, {"Mono 64 label"}, 64, 0, 1},
    };
    std::vector<std::unique_ptr<DecodingRecorder>> recorders;
    for (const Expected& e : expected) {
        recorders.push_back(std::make_unique<DecodingRecorder>(e.sid));
        wrapper.AttachRecorder(recorders.back().get());
        ASSERT_NE(recorders.back()->StreamHandle(), 0) << std::hex << e.sid;
    }
    // The remove command: after a label, the display goes blank again.
    auto removed = [&] {
        const auto first = recorders[0]->Labels();
        return first.size() > 1 &&
               std::find(first.begin() + 1, first.end(), QString()) != first.end();
    };
    PollUntil(
        [&] {
            for (std::size_t i = 0; i < recorders.size(); ++i) {
                if (!recorders[i]->Saw(expected[i].labels)) {
                    return false;
                }
            }
            return removed();
        },
        20000);

    for (std::size_t i = 0; i < recorders.size(); ++i) {
        const Expected& e = expected[i];
        SCOPED_TRACE(testing::Message() << std::hex << e.sid);
        EXPECT_TRUE(recorders[i]->Saw(e.labels));
        for (const QString& l : recorders[i]->Labels()) {
            EXPECT_TRUE(l.isEmpty() || Contains(e.labels, l)) << l.toStdString();
        }
        const StreamInfoRecord info = wrapper.Events()->GetStreamInfo(recorders[i]->StreamHandle());
        EXPECT_EQ(info.Bitrate, e.bitrate);
        EXPECT_EQ(info.Stereo, e.stereo);
        EXPECT_EQ(info.MusicSpeech, e.musicSpeech);
        EXPECT_TRUE(info.DynamicLabel.isEmpty() || Contains(e.labels, info.DynamicLabel));
        wrapper.DetachRecorder(recorders[i].get());
    }
    EXPECT_TRUE(removed()) << "the remove-label command never cleared the label";
}

// The controller on the simulated receiver: a tune completes through the timer and is merged
// into the tables, a service plays at once on its ensemble, and a recorder for another ensemble
// waits for the retune and then receives the frames.
TEST_F(SimTest, ControllerTunesLearnsAndFeedsRecorders) {
    ReceiverWorld world(ReceiverWorld::Tables::Empty, ReceiverWorld::Component::Simulated);
    TServiceTablesWrapper& tables = world.tables;
    TMainControl& control = world.control;
    auto settle = [&] {
        return PollUntil([&] { return !control.IsTuning(); }, 20000) && control.IsSettled();
    };

    ASSERT_TRUE(control.TuneFrequency(225.648));
    ASSERT_TRUE(settle());
    const std::int32_t stereo = tables.FindService(0xC0DE, 0);
    ASSERT_NE(stereo, 0);
    EXPECT_EQ(tables.GetServiceLabel(stereo), "Sim Stereo");
    EXPECT_EQ(tables.GetServiceKind(stereo), QLatin1Char('A'));
    EXPECT_EQ(tables.GetEnsembleLabel(225.648), "Test Mux");

    control.PlayService(stereo, true);
    EXPECT_FALSE(control.IsTuning());
    EXPECT_EQ(control.TunedSId(), 0xC0DEu);
    EXPECT_TRUE(control.AudioInfoEnabled());

    const std::int32_t second = tables.AddService(0xD001, 0, "Second One", u'A', 4, 222.064);
    DecodingRecorder recorder(0xD001, second);
    control.AddRecorder(&recorder);
    EXPECT_TRUE(control.IsTuning());
    EXPECT_EQ(control.GetPendingRecorders().size(), 1);
    ASSERT_TRUE(settle());
    EXPECT_EQ(control.GetAttachedRecorders().size(), 1);
    EXPECT_TRUE(PollUntil([&] { return recorder.Saw({"Second label"}); }, 20000));
    EXPECT_EQ(control.StreamingCountValue(), 1);
    control.RemoveRecorder(&recorder);
    EXPECT_TRUE(world.dialogs.boxes.isEmpty());
}

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "receiver/IViadabRx.h"
#include "tests/sim/LayerTwo.h"
#include "tests/sim/PadReader.h"
#include "tests/support/TestEnv.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const char* const TestAir = R"(# test air
ensemble 225.648 eid=0xC1D4 label="Test Mux" error=0.02 settle=0
service sid=0xC2D1 label="Alpha" pty=10
audio label="Alpha" bitrate=128 mode=stereo rate=48 content=music programme=chords rotate=1
dls "Alpha label one"
dls "Second label of Alpha, two segs"
audio label="Alpha Two" bitrate=64 mode=mono rate=48 content=speech programme=drone rotate=30
dls remove
service sid=0xE1C2D102 label="Beta Data" pty=0
data label="Beta Data" type=5 bitrate=16
service sid=0xC2D3 label="Gamma" pty=14
audio label="Gamma" bitrate=48 mode=mono rate=24 content=speech programme=speech
ensemble 218.640 eid=0xC1A1 label="Slow Mux" error=0.1 settle=300
service sid=0xC2A1 label="Delta" pty=4
audio label="Delta" bitrate=96 mode=stereo rate=48
)";

constexpr std::int32_t Alpha = 0xC2D1;
constexpr auto BetaData = static_cast<std::int32_t>(0xE1C2D102u);
constexpr std::int32_t Gamma = 0xC2D3;
constexpr std::int32_t Unknown = 0x7777;

CreateViadabRxFn Factory() {
    static CreateViadabRxFn create = [] {
        void* handle = dlopen(QFile::encodeName(TestEnv::SimulatedReceiver()).constData(),
                              RTLD_NOW | RTLD_LOCAL);
        return handle == nullptr
                   ? nullptr
                   : reinterpret_cast<CreateViadabRxFn>(dlsym(handle, CoViadabRxFactoryName));
    }();
    return create;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    for (const auto end = Clock::now() + limit; !condition(); std::this_thread::sleep_for(5ms)) {
        if (Clock::now() > end) {
            return false;
        }
    }
    return true;
}

// Records what arrives, per component: the first frames, the count, the calling threads. With
// a delay it is a slow sink whose calls take a while and touch its members throughout.
class Recorder final : public IViadabRxEvents {
public:
    struct Stream {
        std::vector<std::vector<std::uint8_t>> frames;
        long count = 0;
        std::set<std::thread::id> threads;
    };
    explicit Recorder(std::chrono::milliseconds delay = 0ms) : delay_(delay) {}
    RxStatus OnEvent(std::int32_t, std::int32_t, std::int32_t) override { return RxOk; }
    RxStatus OnData(std::int32_t component, const std::uint8_t* buffer,
                    std::int32_t length) override {
        lateCalls += closed ? 1 : 0;
        inCall = true;
        if (delay_ > 0ms) {
            std::this_thread::sleep_for(delay_);
        }
        {
            std::lock_guard lock(mutex_);
            Stream& s = streams_[component];
            if (s.frames.size() < 2000) {
                s.frames.emplace_back(buffer, buffer + length);
            }
            ++s.count;
            s.threads.insert(std::this_thread::get_id());
        }
        inCall = false;
        return RxOk;
    }
    long Count(std::int32_t c) {
        std::lock_guard lock(mutex_);
        return streams_[c].count;
    }
    Stream Of(std::int32_t c) {
        std::lock_guard lock(mutex_);
        return streams_[c];
    }
    bool WaitFor(std::int32_t c, long n) {
        return WaitUntil([&] { return Count(c) >= n; }, 20s);
    }

    std::atomic<bool> inCall{false};
    // Set once a disconnect has returned: calls after it are counted here, where a deleted sink
    // cannot count them.
    static inline std::atomic<bool> closed{false};
    static inline std::atomic<int> lateCalls{0};

private:
    std::chrono::milliseconds delay_;
    std::mutex mutex_;
    std::map<std::int32_t, Stream> streams_;
};

class SimReceiverTest : public ::testing::Test {
protected:
    void SetUp() override {
        air_ = env_.File("test.air").toStdString();
        std::ofstream(air_) << TestAir;
        ::setenv("TUNORA_AIR_FILE", air_.c_str(), 1);
        ::setenv("TUNORA_SIM_UNPACED", "1", 1);
        ::setenv("PULSE_SERVER", "unix:/nonexistent/pulse", 1);
        ASSERT_NE(Factory(), nullptr) << dlerror();
    }
    void TearDown() override {
        if (rx_ != nullptr) {
            rx_->Release();
        }
    }

    IViadabRx& Rx() {
        if (rx_ == nullptr) {
            rx_ = Factory()();
        }
        return *rx_;
    }
    // The receiver's answer to Tune: 1 accepted, 0 refused.
    std::int32_t Tune(double mhz) {
        std::int32_t ok = -1;
        EXPECT_EQ(Rx().Tune(mhz, &ok), RxOk) << mhz;
        return ok;
    }
    void TuneReady(double mhz) {
        ASSERT_EQ(Tune(mhz), 1);
        ASSERT_TRUE(WaitUntil([&] { return Ready(); }, 5s));
    }
    bool Ready() { return Get(&IViadabRx::GetServiceListReady) != 0; }
    // The value a getter hands out, given what `seed` it starts from.
    template <typename T>
    T Get(RxStatus (IViadabRx::*getter)(T*), T seed = T()) {
        (Rx().*getter)(&seed);
        return seed;
    }
    std::int32_t Get(RxStatus (IViadabRx::*getter)(std::int32_t, std::int32_t*), std::int32_t id) {
        std::int32_t value = -1;
        (Rx().*getter)(id, &value);
        return value;
    }
    std::int32_t Component(std::int32_t sid, int index) {
        std::int32_t c = 0;
        EXPECT_EQ(Rx().GetPrimaryComponent(sid, &c), RxOk);
        for (int i = 0; i < index; ++i) {
            EXPECT_EQ(Rx().GetNextComponent(sid, &c), RxOk);
        }
        return c;
    }
    std::string Label(std::int32_t id, RxStatus expected = RxOk) {
        std::string s;
        EXPECT_EQ(Rx().GetLabel(id, &s), expected) << id;
        return s;
    }
    std::int32_t Advise(IViadabRxEvents* sink) {
        std::int32_t cookie = 0;
        EXPECT_EQ(Rx().Advise(sink, &cookie), RxOk);
        return cookie;
    }

    TestEnv env_;
    std::string air_;
    IViadabRx* rx_ = nullptr;
};

}  // namespace

// Band III and L-Band frequencies are accepted, others refused without disturbing the tune in
// force; a channel without an ensemble never becomes ready and shows no signal; an ensemble
// becomes ready only after its settle time, and its error ratio applies from then on.
TEST_F(SimReceiverTest, TuneAcceptsTheBandsAndSettles) {
    for (double f : {174.0, 240.0, 1452.0, 1492.0, 223.936}) {
        EXPECT_EQ(Tune(f), 1) << f;
    }
    TuneReady(225.648);
    for (double f : {0.0, 100.0, 173.9, 240.1, 1451.9, 1492.1}) {
        EXPECT_EQ(Tune(f), 0) << f;
    }
    EXPECT_TRUE(Ready());
    EXPECT_EQ(Get(&IViadabRx::GetEnsembleId), 0xC1D4);

    Tune(223.936);
    EXPECT_FALSE(WaitUntil([&] { return Ready(); }, 400ms));
    EXPECT_EQ(Get(&IViadabRx::GetErrorRatio), 1.0);
    EXPECT_EQ(Get(&IViadabRx::GetFirstService, -1), 0);
    EXPECT_EQ(Get(&IViadabRx::GetEnsembleId, -1), 0);
    Label(Alpha, RxFail);

    const auto start = Clock::now();
    Tune(218.640);
    EXPECT_FALSE(Ready());
    ASSERT_TRUE(WaitUntil([&] { return Ready(); }, 5s));
    EXPECT_GE(Clock::now() - start, 300ms);
    EXPECT_DOUBLE_EQ(Get(&IViadabRx::GetErrorRatio), 0.1);
    EXPECT_EQ(Get(&IViadabRx::GetFirstService), 0xC2A1);
}

// Services and components enumerate in air-file order; every id answers GetLabel with its own
// label (padded to 16 characters) and its types; unknown ids and mismatched pairs are refused.
TEST_F(SimReceiverTest, EnumeratesIdsAndLabels) {
    TuneReady(225.648);
    std::vector<std::int32_t> sids;
    std::int32_t sid = 0;
    ASSERT_EQ(Rx().GetFirstService(&sid), RxOk);
    while (sid != 0) {
        sids.push_back(sid);
        ASSERT_EQ(Rx().GetNextService(&sid), RxOk);
    }
    EXPECT_EQ(sids, (std::vector<std::int32_t>{Alpha, BetaData, Gamma}));

    const std::int32_t alpha = Component(Alpha, 0);
    const std::int32_t alphaTwo = Component(Alpha, 1);
    const std::int32_t beta = Component(BetaData, 0);
    // After the last component comes 0; a component of another service is refused; a service
    // that is not on the tuned ensemble has no components, which is no failure.
    auto next = [&](std::int32_t service, std::int32_t from) {
        const RxStatus status = Rx().GetNextComponent(service, &from);
        return std::pair{status, from};
    };
    EXPECT_EQ(next(Alpha, alphaTwo), std::pair(RxOk, 0));
    EXPECT_EQ(next(Alpha, Component(Gamma, 0)).first, RxFail);
    EXPECT_EQ(next(Unknown, 7), std::pair(RxOk, 0));

    const std::pair<std::int32_t, const char*> labels[] = {{0xC1D4, "Test Mux        "},
                                                           {Alpha, "Alpha           "},
                                                           {alphaTwo, "Alpha Two       "},
                                                           {BetaData, "Beta Data       "},
                                                           {0, ""}};
    for (const auto& [id, label] : labels) {
        EXPECT_EQ(Label(id), label);
    }
    EXPECT_NE(Get(&IViadabRx::GetAudioType, alpha), 0);
    EXPECT_EQ(Get(&IViadabRx::GetAudioType, beta), 0);
    EXPECT_EQ(Get(&IViadabRx::GetDataType, beta), 5);
    EXPECT_EQ(Get(&IViadabRx::GetProgrammeType, Gamma), 14);

    Label(Unknown, RxFail);
    sid = Unknown;
    EXPECT_EQ(Rx().GetNextService(&sid), RxFail);
    EXPECT_EQ(Rx().StartCapture(Unknown), RxFail);

    // Another ensemble: the old services are gone, component handles still name their labels.
    TuneReady(218.640);
    Label(Alpha, RxFail);
    EXPECT_EQ(Label(alpha), "Alpha           ");
    EXPECT_EQ(Rx().StopCapture(alpha), RxOk);
}

// The dynamic label follows the rotation of the on-air time; a remove-label entry, a component
// without labels and a data component give empty text.
TEST_F(SimReceiverTest, DynamicLabelRotates) {
    TuneReady(225.648);
    std::string text;
    ASSERT_EQ(Rx().GetDynamicLabel(Component(Alpha, 0), &text), RxOk);
    EXPECT_EQ(text, "Alpha label one");
    std::this_thread::sleep_for(1100ms);
    Rx().GetDynamicLabel(Component(Alpha, 0), &text);
    EXPECT_EQ(text, "Second label of Alpha, two segs");
    for (std::int32_t c : {Component(Alpha, 1), Component(Gamma, 0), Component(BetaData, 0)}) {
        text = "x";
        ASSERT_EQ(Rx().GetDynamicLabel(c, &text), RxOk);
        EXPECT_EQ(text, "");
    }
}

// Captured audio components deliver whole CRC-protected Layer II frames of their rate, each
// component on its own thread, with PAD carrying the labels and the music/speech flag; a data
// component delivers nothing. StopCapture ends one component's delivery at once and leaves the
// others running; captures pause while another ensemble is tuned and resume when theirs is back.
TEST_F(SimReceiverTest, CaptureDeliversWholeFramesAndFollowsTheTune) {
    Recorder sink;
    const std::int32_t cookie = Advise(&sink);
    TuneReady(225.648);
    const std::int32_t alpha = Component(Alpha, 0);
    const std::int32_t alphaTwo = Component(Alpha, 1);
    const std::int32_t gamma = Component(Gamma, 0);
    const std::int32_t beta = Component(BetaData, 0);
    for (std::int32_t c : {alpha, alphaTwo, gamma, beta}) {
        ASSERT_EQ(Rx().StartCapture(c), RxOk);
    }
    ASSERT_TRUE(sink.WaitFor(alpha, 300));
    ASSERT_TRUE(sink.WaitFor(gamma, 150));
    EXPECT_EQ(sink.Count(beta), 0);

    struct Expect {
        std::int32_t component;
        int bitrate, rate, musicSpeech;
        std::vector<std::string> labels;  // the first ones in order
    };
    for (const Expect& e :
         {Expect{alpha, 128, 48000, 1, {"Alpha label one", "Second label of Alpha, two segs"}},
          Expect{gamma, 48, 24000, 2, {}}}) {
        PadReader pad(4);
        for (const auto& f : sink.Of(e.component).frames) {
            LayerTwoHeader h;
            ASSERT_TRUE(ParseLayerTwoHeader(f.data(), f.size(), h));
            ASSERT_EQ(static_cast<std::size_t>(h.length), f.size());
            EXPECT_EQ(h.bitrate, e.bitrate);
            EXPECT_EQ(h.sampleRate, e.rate);
            EXPECT_TRUE(h.protectedByCrc);
            pad.Frame(f.data(), f.size());
        }
        EXPECT_EQ(pad.MusicSpeech(), e.musicSpeech);
        ASSERT_GE(pad.Labels().size(), e.labels.size());
        EXPECT_TRUE(std::equal(e.labels.begin(), e.labels.end(), pad.Labels().begin()));
    }
    const auto alphaThreads = sink.Of(alpha).threads;
    const auto gammaThreads = sink.Of(gamma).threads;
    ASSERT_EQ(alphaThreads.size(), 1u);
    ASSERT_EQ(gammaThreads.size(), 1u);
    EXPECT_NE(*alphaThreads.begin(), *gammaThreads.begin());
    EXPECT_EQ(alphaThreads.count(std::this_thread::get_id()), 0u);

    ASSERT_EQ(Rx().StopCapture(alpha), RxOk);
    std::this_thread::sleep_for(20ms);  // a call already in flight may still finish
    const long stopped = sink.Count(alpha);
    const long other = sink.Count(alphaTwo);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(sink.Count(alpha), stopped);
    EXPECT_GT(sink.Count(alphaTwo), other);
    Rx().StartCapture(alpha);
    ASSERT_TRUE(sink.WaitFor(alpha, stopped + 50));

    Tune(223.936);  // nothing there
    std::this_thread::sleep_for(50ms);
    const long paused = sink.Count(alphaTwo);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(sink.Count(alphaTwo), paused);
    Tune(225.648);
    EXPECT_TRUE(sink.WaitFor(alphaTwo, paused + 50));
    EXPECT_EQ(Rx().Unadvise(cookie), RxOk);  // before the sink goes
}

// Without TUNORA_SIM_UNPACED delivery gives one frame per 24 ms at 48 kHz and per 48 ms at
// 24 kHz, and stops promptly.
TEST_F(SimReceiverTest, PacedDelivery) {
    ::unsetenv("TUNORA_SIM_UNPACED");
    Recorder sink;
    const std::int32_t cookie = Advise(&sink);
    TuneReady(225.648);
    const std::int32_t alpha = Component(Alpha, 0);
    const std::int32_t gamma = Component(Gamma, 0);
    Rx().StartCapture(alpha);
    Rx().StartCapture(gamma);
    ASSERT_TRUE(sink.WaitFor(alpha, 1));
    ASSERT_TRUE(sink.WaitFor(gamma, 1));
    const long a0 = sink.Count(alpha);
    const long g0 = sink.Count(gamma);
    std::this_thread::sleep_for(1200ms);
    EXPECT_NEAR(sink.Count(alpha) - a0, 50, 5);
    EXPECT_NEAR(sink.Count(gamma) - g0, 25, 3);
    const auto start = Clock::now();
    Rx().StopCapture(alpha);
    Rx().StopCapture(gamma);
    Rx().Unadvise(cookie);
    EXPECT_LT(Clock::now() - start, 200ms);
}

// A capture and a playback whose programme is a FIFO that never delivers do not hold up
// Release (a shut-down); nothing is delivered meanwhile.
TEST_F(SimReceiverTest, ReleaseDoesNotWaitForASilentWavSource) {
    const std::string fifo = env_.File("silent.wav").toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(air_) << "ensemble 225.648 eid=0xC1D4 label=\"Mux\"\n"
                           "service sid=0xC2D1 label=\"Alpha\"\n"
                           "audio label=\"Alpha\" bitrate=64 mode=mono wav="
                        << fifo << "\n";
    Recorder sink;
    Advise(&sink);
    TuneReady(225.648);
    const std::int32_t alpha = Component(Alpha, 0);
    EXPECT_EQ(Rx().StartCapture(alpha), RxOk);
    EXPECT_EQ(Rx().StartPlayback(alpha), RxOk);
    std::this_thread::sleep_for(200ms);
    const auto start = Clock::now();
    std::exchange(rx_, nullptr)->Release();
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_EQ(sink.Count(alpha), 0);
}

// Unadvise, and Release with playback running, return only after the OnData calls in flight
// have finished, and none starts after: the sink can be destroyed at once (the ASan build
// catches any late use).
TEST_F(SimReceiverTest, DisconnectWaitsForCallsInFlight) {
    for (const bool release : {false, true}) {
        SCOPED_TRACE(release ? "Release" : "Unadvise");
        TuneReady(225.648);
        auto* sink = new Recorder(10ms);
        const std::int32_t cookie = Advise(sink);
        const std::int32_t alpha = Component(Alpha, 0);
        for (std::int32_t c : {alpha, Component(Alpha, 1), Component(Gamma, 0)}) {
            Rx().StartCapture(c);
        }
        Rx().StartPlayback(alpha);
        ASSERT_TRUE(WaitUntil([&] { return sink->Count(alpha) > 5 && sink->inCall; }, 20s));
        if (release) {
            std::exchange(rx_, nullptr)->Release();
        } else {
            ASSERT_EQ(Rx().Unadvise(cookie), RxOk);
        }
        Recorder::closed = true;
        EXPECT_FALSE(sink->inCall);
        delete sink;
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(Recorder::lateCalls, 0);
        Recorder::closed = false;
    }
}

// Unadvise called from inside OnData does not wait for itself. The sink touches nothing of its
// own after the Unadvise, as the capture thread may still be in that call when the test ends.
TEST_F(SimReceiverTest, UnadviseFromInsideOnData) {
    struct SelfUnadvising : IViadabRxEvents {
        IViadabRx* rx = nullptr;
        std::int32_t cookie = 0;
        std::atomic<int> result{1};
        std::atomic<bool> done{false};
        RxStatus OnEvent(std::int32_t, std::int32_t, std::int32_t) override { return RxOk; }
        RxStatus OnData(std::int32_t, const std::uint8_t*, std::int32_t) override {
            if (!done.exchange(true)) {
                result = rx->Unadvise(cookie);
            }
            return RxOk;
        }
    } sink;
    sink.rx = &Rx();
    sink.cookie = Advise(&sink);
    TuneReady(225.648);
    Rx().StartCapture(Component(Alpha, 0));
    EXPECT_TRUE(WaitUntil([&] { return sink.result == RxOk; }, 20s));
}

// Playback without a sound server neither fails nor blocks the caller.
TEST_F(SimReceiverTest, PlaybackWithoutSoundServer) {
    TuneReady(225.648);
    const auto start = Clock::now();
    EXPECT_EQ(Rx().StartPlayback(Component(Alpha, 0)), RxOk);
    EXPECT_EQ(Rx().StartPlayback(Component(Gamma, 0)), RxOk);
    EXPECT_EQ(Rx().StartPlayback(Component(BetaData, 0)), RxOk);
    EXPECT_EQ(Rx().StopPlayback(Component(BetaData, 0)), RxOk);
    EXPECT_LT(Clock::now() - start, 100ms);
    EXPECT_EQ(Rx().StartPlayback(Unknown), RxFail);
    EXPECT_EQ(Rx().StopPlayback(Unknown), RxFail);
}

// One sink at a time; Unadvise needs the cookie Advise gave.
TEST_F(SimReceiverTest, AdviseConnectsOneSink) {
    Recorder a;
    Recorder b;
    std::int32_t cookie = 0;
    std::int32_t other = 0;
    EXPECT_EQ(Rx().Advise(nullptr, &cookie), RxFail);
    ASSERT_EQ(Rx().Advise(&a, &cookie), RxOk);
    EXPECT_EQ(Rx().Advise(&b, &other), RxFail);
    EXPECT_EQ(Rx().Unadvise(cookie + 1), RxFail);
    EXPECT_EQ(Rx().Unadvise(cookie), RxOk);
    EXPECT_EQ(Rx().Unadvise(cookie), RxFail);
    ASSERT_EQ(Rx().Advise(&b, &other), RxOk);
    EXPECT_NE(other, cookie);
    Rx().Unadvise(other);
}

// Without TUNORA_AIR_FILE the component reads the demo air beside its library; an unreadable
// or faulty air file makes the factory answer null.
TEST_F(SimReceiverTest, FactoryReadsTheDemoAirBesideTheLibrary) {
    ::unsetenv("TUNORA_AIR_FILE");
    TuneReady(218.640);
    EXPECT_EQ(Label(Get(&IViadabRx::GetFirstService)), "Harbour FM      ");

    ::setenv("TUNORA_AIR_FILE", (air_ + ".missing").c_str(), 1);
    EXPECT_EQ(Factory()(), nullptr);
    std::ofstream(air_) << "ensemble 225.648 eid=1\n";
    ::setenv("TUNORA_AIR_FILE", air_.c_str(), 1);
    EXPECT_EQ(Factory()(), nullptr);
}

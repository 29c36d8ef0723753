#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "receiver/IViadabRx.h"
#include "tests/sim/LayerTwo.h"
#include "tests/sim/PadReader.h"
#include "tests/sim/SimTestPaths.h"
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

CreateViadabRxFn Factory() {
    static CreateViadabRxFn create = [] {
        const std::string lib = SimBinDir() + "/libviadab_sim.so";
        void* handle = dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL);
        return handle == nullptr
                   ? nullptr
                   : reinterpret_cast<CreateViadabRxFn>(dlsym(handle, CoViadabRxFactoryName));
    }();
    return create;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// Records what arrives, per component; keeps the first frames and counts the rest.
class Recorder : public IViadabRxEvents {
public:
    RxStatus OnEvent(std::int32_t, std::int32_t, std::int32_t) override { return RxOk; }
    RxStatus OnData(std::int32_t component, const std::uint8_t* buffer,
                    std::int32_t length) override {
        std::lock_guard lock(mutex_);
        auto& list = frames_[component];
        if (list.size() < 2000) {
            list.emplace_back(buffer, buffer + length);
        }
        ++counts_[component];
        threads_[component].insert(std::this_thread::get_id());
        return RxOk;
    }
    long Count(std::int32_t c) {
        std::lock_guard lock(mutex_);
        return counts_[c];
    }
    std::vector<std::vector<std::uint8_t>> Frames(std::int32_t c) {
        std::lock_guard lock(mutex_);
        return frames_[c];
    }
    std::set<std::thread::id> Threads(std::int32_t c) {
        std::lock_guard lock(mutex_);
        return threads_[c];
    }
    bool WaitFor(std::int32_t c, long n, std::chrono::milliseconds limit = 20s) {
        return WaitUntil([&] { return Count(c) >= n; }, limit);
    }

private:
    std::mutex mutex_;
    std::map<std::int32_t, std::vector<std::vector<std::uint8_t>>> frames_;
    std::map<std::int32_t, long> counts_;
    std::map<std::int32_t, std::set<std::thread::id>> threads_;
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
    void TuneReady(double mhz) {
        std::int32_t ok = 0;
        ASSERT_EQ(Rx().Tune(mhz, &ok), RxOk);
        ASSERT_EQ(ok, 1);
        ASSERT_TRUE(WaitUntil([&] { return Ready(); }, 5s));
    }
    bool Ready() {
        std::int32_t ready = 0;
        return Rx().GetServiceListReady(&ready) == RxOk && ready != 0;
    }
    std::int32_t Component(std::int32_t sid, int index) {
        std::int32_t c = 0;
        EXPECT_EQ(Rx().GetPrimaryComponent(sid, &c), RxOk);
        for (int i = 0; i < index; ++i) {
            EXPECT_EQ(Rx().GetNextComponent(sid, &c), RxOk);
        }
        return c;
    }
    std::string Label(std::int32_t id) {
        std::string s;
        EXPECT_EQ(Rx().GetLabel(id, &s), RxOk) << id;
        return s;
    }

    TestEnv env_;
    std::string air_;
    IViadabRx* rx_ = nullptr;
};

}  // namespace

// Band III and L-Band frequencies are accepted, others refused without disturbing the tune in
// force; a channel without an ensemble never becomes ready and shows no signal.
TEST_F(SimReceiverTest, TuneAcceptsTheBandsOnly) {
    for (double f : {174.0, 240.0, 1452.0, 1492.0, 223.936}) {
        std::int32_t ok = 0;
        ASSERT_EQ(Rx().Tune(f, &ok), RxOk);
        EXPECT_EQ(ok, 1) << f;
    }
    TuneReady(225.648);
    for (double f : {0.0, 100.0, 173.9, 240.1, 1451.9, 1492.1}) {
        std::int32_t ok = 1;
        ASSERT_EQ(Rx().Tune(f, &ok), RxOk);
        EXPECT_EQ(ok, 0) << f;
    }
    EXPECT_TRUE(Ready());
    std::int32_t eid = 0;
    Rx().GetEnsembleId(&eid);
    EXPECT_EQ(eid, 0xC1D4);

    std::int32_t ok = 0;
    Rx().Tune(223.936, &ok);
    EXPECT_FALSE(WaitUntil([&] { return Ready(); }, 400ms));
    double ratio = 0;
    Rx().GetErrorRatio(&ratio);
    EXPECT_EQ(ratio, 1.0);
    std::int32_t sid = -1;
    Rx().GetFirstService(&sid);
    EXPECT_EQ(sid, 0);
    Rx().GetEnsembleId(&eid);
    EXPECT_EQ(eid, 0);
    std::string label;
    EXPECT_EQ(Rx().GetLabel(Alpha, &label), RxFail);
}

// The service list becomes ready only after the ensemble's settle time; the error ratio is the
// ensemble's from then on.
TEST_F(SimReceiverTest, ReadyAfterTheSettleTime) {
    const auto start = Clock::now();
    std::int32_t ok = 0;
    Rx().Tune(218.640, &ok);
    EXPECT_FALSE(Ready());
    ASSERT_TRUE(WaitUntil([&] { return Ready(); }, 5s));
    EXPECT_GE(Clock::now() - start, 300ms);
    double ratio = 0;
    Rx().GetErrorRatio(&ratio);
    EXPECT_DOUBLE_EQ(ratio, 0.1);
    std::int32_t sid = 0;
    Rx().GetFirstService(&sid);
    EXPECT_EQ(sid, 0xC2A1);
}

// Services and components enumerate in air-file order; every id answers GetLabel with its own
// label (padded to 16 characters); unknown ids and mismatched pairs are refused.
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
    std::int32_t next = alphaTwo;
    ASSERT_EQ(Rx().GetNextComponent(Alpha, &next), RxOk);
    EXPECT_EQ(next, 0);
    const std::int32_t beta = Component(BetaData, 0);
    const std::int32_t gamma = Component(Gamma, 0);
    next = gamma;
    EXPECT_EQ(Rx().GetNextComponent(Alpha, &next), RxFail);
    // A service that is not on the tuned ensemble has no components, which is no failure.
    std::int32_t none = 7;
    EXPECT_EQ(Rx().GetPrimaryComponent(0x7777, &none), RxOk);
    EXPECT_EQ(none, 0);
    none = 7;
    EXPECT_EQ(Rx().GetNextComponent(0x7777, &none), RxOk);
    EXPECT_EQ(none, 0);

    EXPECT_EQ(Label(0xC1D4), "Test Mux        ");
    EXPECT_EQ(Label(Alpha), "Alpha           ");
    EXPECT_EQ(Label(alphaTwo), "Alpha Two       ");
    EXPECT_EQ(Label(BetaData), "Beta Data       ");
    EXPECT_EQ(Label(0), "");
    const std::set<std::int32_t> ids = {0xC1D4, Alpha,    BetaData, Gamma,
                                        alpha,  alphaTwo, beta,     gamma};
    EXPECT_EQ(ids.size(), 8u);

    std::int32_t value = -1;
    Rx().GetAudioType(alpha, &value);
    EXPECT_NE(value, 0);
    Rx().GetAudioType(beta, &value);
    EXPECT_EQ(value, 0);
    Rx().GetDataType(beta, &value);
    EXPECT_EQ(value, 5);
    Rx().GetProgrammeType(Gamma, &value);
    EXPECT_EQ(value, 14);

    std::string label;
    EXPECT_EQ(Rx().GetLabel(0x7777, &label), RxFail);
    EXPECT_EQ(Rx().GetAudioType(0x7777, &value), RxFail);
    sid = 0x7777;
    EXPECT_EQ(Rx().GetNextService(&sid), RxFail);
    EXPECT_EQ(Rx().StartCapture(0x7777), RxFail);

    // Another ensemble: the old services are gone, component handles still name their labels.
    TuneReady(218.640);
    EXPECT_EQ(Rx().GetLabel(Alpha, &label), RxFail);
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

// Captured audio components deliver whole Layer II frames, each component on its own thread;
// the frames decode cleanly and their PAD carries the labels and the music/speech flag; a data
// component delivers nothing.
TEST_F(SimReceiverTest, CaptureDeliversWholeFrames) {
    Recorder sink;
    std::int32_t cookie = 0;
    ASSERT_EQ(Rx().Advise(&sink, &cookie), RxOk);
    TuneReady(225.648);
    const std::int32_t alpha = Component(Alpha, 0);
    const std::int32_t gamma = Component(Gamma, 0);
    const std::int32_t beta = Component(BetaData, 0);
    for (std::int32_t c : {alpha, gamma, beta}) {
        ASSERT_EQ(Rx().StartCapture(c), RxOk);
    }
    ASSERT_TRUE(sink.WaitFor(alpha, 300));
    ASSERT_TRUE(sink.WaitFor(gamma, 150));
    EXPECT_EQ(sink.Count(beta), 0);

    struct Expect {
        std::int32_t component;
        int bitrate;
        int rate;
        int musicSpeech;
    };
    for (const Expect& e : {Expect{alpha, 128, 48000, 1}, Expect{gamma, 48, 24000, 2}}) {
        const auto frames = sink.Frames(e.component);
        std::vector<std::uint8_t> stream;
        PadReader pad(4);
        for (const auto& f : frames) {
            LayerTwoHeader h;
            ASSERT_TRUE(ParseLayerTwoHeader(f.data(), f.size(), h));
            ASSERT_EQ(static_cast<std::size_t>(h.length), f.size());
            EXPECT_EQ(h.bitrate, e.bitrate);
            EXPECT_EQ(h.sampleRate, e.rate);
            EXPECT_TRUE(h.protectedByCrc);
            stream.insert(stream.end(), f.begin(), f.end());
            pad.Frame(f.data(), f.size());
        }
        const DecodeResult d = DecodeWithMpg123(stream);
        EXPECT_EQ(d.error, "");
        EXPECT_EQ(d.rate, e.rate);
        EXPECT_EQ(pad.MusicSpeech(), e.musicSpeech);
        if (e.component == alpha) {
            ASSERT_GE(pad.Labels().size(), 2u);
            EXPECT_EQ(pad.Labels()[0], "Alpha label one");
            EXPECT_EQ(pad.Labels()[1], "Second label of Alpha, two segs");
        }
    }
    const auto alphaThreads = sink.Threads(alpha);
    const auto gammaThreads = sink.Threads(gamma);
    ASSERT_EQ(alphaThreads.size(), 1u);
    ASSERT_EQ(gammaThreads.size(), 1u);
    EXPECT_NE(*alphaThreads.begin(), *gammaThreads.begin());
    EXPECT_EQ(alphaThreads.count(std::this_thread::get_id()), 0u);
    EXPECT_EQ(Rx().Unadvise(cookie), RxOk);
}

// StopCapture ends one component's delivery at once and leaves the others running; captures
// pause while another ensemble is tuned and resume when theirs is back.
TEST_F(SimReceiverTest, CaptureStartsStopsAndFollowsTheTune) {
    Recorder sink;
    std::int32_t cookie = 0;
    Rx().Advise(&sink, &cookie);
    TuneReady(225.648);
    const std::int32_t alpha = Component(Alpha, 0);
    const std::int32_t alphaTwo = Component(Alpha, 1);
    Rx().StartCapture(alpha);
    Rx().StartCapture(alphaTwo);
    ASSERT_TRUE(sink.WaitFor(alpha, 50));
    ASSERT_TRUE(sink.WaitFor(alphaTwo, 50));

    ASSERT_EQ(Rx().StopCapture(alpha), RxOk);
    std::this_thread::sleep_for(20ms);  // a call already in flight may still finish
    const long stopped = sink.Count(alpha);
    const long other = sink.Count(alphaTwo);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(sink.Count(alpha), stopped);
    EXPECT_GT(sink.Count(alphaTwo), other);

    Rx().StartCapture(alpha);
    ASSERT_TRUE(sink.WaitFor(alpha, stopped + 50));

    std::int32_t ok = 0;
    Rx().Tune(223.936, &ok);  // nothing there
    std::this_thread::sleep_for(50ms);
    const long paused = sink.Count(alphaTwo);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(sink.Count(alphaTwo), paused);
    Rx().Tune(225.648, &ok);
    EXPECT_TRUE(sink.WaitFor(alphaTwo, paused + 50));
    Rx().Unadvise(cookie);
}

// Paced delivery gives one frame per 24 ms at 48 kHz and per 48 ms at 24 kHz.
TEST_F(SimReceiverTest, PacedDeliveryKeepsRealTime) {
    ::unsetenv("TUNORA_SIM_UNPACED");
    Recorder sink;
    std::int32_t cookie = 0;
    Rx().Advise(&sink, &cookie);
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
    Rx().Unadvise(cookie);
}

// Unpaced delivery runs far faster than real time and still stops promptly.
TEST_F(SimReceiverTest, UnpacedDeliveryIsFast) {
    Recorder sink;
    std::int32_t cookie = 0;
    Rx().Advise(&sink, &cookie);
    TuneReady(225.648);
    const std::int32_t alpha = Component(Alpha, 0);
    Rx().StartCapture(alpha);
    ASSERT_TRUE(sink.WaitFor(alpha, 1));
    const long first = sink.Count(alpha);
    std::this_thread::sleep_for(500ms);
    const long inHalfASecond = sink.Count(alpha) - first;
    // Paced would be 21 frames; unpaced must be an order of magnitude more even under load.
    EXPECT_GT(inHalfASecond, 250);
    const auto start = Clock::now();
    Rx().StopCapture(alpha);
    Rx().Unadvise(cookie);
    EXPECT_LT(Clock::now() - start, 200ms);
}

namespace {

std::atomic<bool> g_unadvised{false};
std::atomic<int> g_callsAfterUnadvise{0};

// A sink whose OnData takes a while and touches its own members throughout.
class SlowSink final : public IViadabRxEvents {
public:
    RxStatus OnEvent(std::int32_t, std::int32_t, std::int32_t) override { return RxOk; }
    RxStatus OnData(std::int32_t, const std::uint8_t* buffer, std::int32_t length) override {
        if (g_unadvised) {
            ++g_callsAfterUnadvise;
        }
        inCall = true;
        std::this_thread::sleep_for(10ms);
        bytes += static_cast<long>(buffer[length - 1]) + length;
        ++calls;
        inCall = false;
        return RxOk;
    }
    std::atomic<bool> inCall{false};
    std::atomic<long> calls{0};
    long bytes = 0;
};

}  // namespace

// Unadvise returns only after the OnData calls in flight have finished, and none starts after:
// the sink can be destroyed at once (the ASan build catches any late use).
TEST_F(SimReceiverTest, UnadviseWaitsForCallsInFlight) {
    TuneReady(225.648);
    auto* sink = new SlowSink;
    std::int32_t cookie = 0;
    Rx().Advise(sink, &cookie);
    for (std::int32_t c : {Component(Alpha, 0), Component(Alpha, 1), Component(Gamma, 0)}) {
        Rx().StartCapture(c);
    }
    ASSERT_TRUE(WaitUntil([&] { return sink->calls > 5 && sink->inCall; }, 20s));
    g_unadvised = false;
    ASSERT_EQ(Rx().Unadvise(cookie), RxOk);
    g_unadvised = true;
    EXPECT_FALSE(sink->inCall);
    delete sink;
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(g_callsAfterUnadvise, 0);
    g_unadvised = false;
}

// Unadvise called from inside OnData does not wait for itself.
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
    Rx().Advise(&sink, &sink.cookie);
    TuneReady(225.648);
    Rx().StartCapture(Component(Alpha, 0));
    ASSERT_TRUE(WaitUntil([&] { return sink.done.load(); }, 20s));
    EXPECT_TRUE(WaitUntil([&] { return sink.result == RxOk; }, 2s));
}

// Release stops every capture and waits for calls in flight; nothing arrives afterwards.
TEST_F(SimReceiverTest, ReleaseStopsEverything) {
    TuneReady(225.648);
    SlowSink sink;
    std::int32_t cookie = 0;
    Rx().Advise(&sink, &cookie);
    Rx().StartCapture(Component(Alpha, 0));
    Rx().StartCapture(Component(Gamma, 0));
    Rx().StartPlayback(Component(Alpha, 0));
    ASSERT_TRUE(WaitUntil([&] { return sink.calls > 3 && sink.inCall; }, 20s));
    rx_->Release();
    rx_ = nullptr;
    EXPECT_FALSE(sink.inCall);
    const long calls = sink.calls;
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(sink.calls, calls);
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
    EXPECT_EQ(Rx().StartPlayback(0x7777), RxFail);
    EXPECT_EQ(Rx().StopPlayback(0x7777), RxFail);
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
    std::int32_t sid = 0;
    Rx().GetFirstService(&sid);
    EXPECT_EQ(Label(sid), "Harbour FM      ");

    ::setenv("TUNORA_AIR_FILE", (air_ + ".missing").c_str(), 1);
    EXPECT_EQ(Factory()(), nullptr);
    std::ofstream(air_) << "ensemble 225.648 eid=1\n";
    ::setenv("TUNORA_AIR_FILE", air_.c_str(), 1);
    EXPECT_EQ(Factory()(), nullptr);
}

// Cost of the receiver's data event: one 384-byte DAB frame (MPEG-1 Layer II, 48 kHz, 128 kbit/s
// stereo) handed to N attached recorders that do nothing, with and without the header and PAD
// decoding that a recorder wanting PAD switches on. The frames carry a dynamic label in short
// X-PAD, so the decoder does its real work.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "receiver/TPADObject.h"
#include "receiver/TViaDABRxEvents.h"
#include "recording/TRecorder.h"

namespace {

constexpr std::int32_t kStream = 101;
constexpr int kFrameLength = 384;
constexpr int kScfCrc = 4;

class NullRecorder : public TRecorder {
public:
    explicit NullRecorder(bool wantsPad) : TRecorder(1, 0xC0DE, QString()), wantsPad_(wantsPad) {
        SetStreamHandle(kStream);
    }
    int RecorderKind() const override { return kKindStream; }
    bool WantsPAD() const override { return wantsPad_; }
    void WriteBlock(const std::uint8_t*, std::int32_t) override {}

private:
    bool wantsPad_;
};

std::vector<std::uint8_t> Frame(const std::uint8_t xpad[4], bool start) {
    std::vector<std::uint8_t> f(kFrameLength, 0x55);
    const std::uint8_t header[4] = {0xFF, 0xFC, 0x84, 0x00};
    std::memcpy(f.data(), header, 4);
    f[kFrameLength - 2] = 0x10;                 // F-PAD type 0, short X-PAD
    f[kFrameLength - 1] = start ? 0x02 : 0x00;  // contents indicator on a data group's start
    const int p = kFrameLength - 3 - kScfCrc;
    for (int i = 0; i < 4; ++i) {
        f[p - i] = xpad[i];
    }
    return f;
}

// A two-segment label, each segment a data group, repeated by the caller.
std::vector<std::vector<std::uint8_t>> LabelFrames() {
    std::vector<std::vector<std::uint8_t>> frames;
    const std::string segments[2] = {"Benchmark label ", "two segments"};
    for (int s = 0; s < 2; ++s) {
        std::vector<std::uint8_t> data;
        data.push_back(
            static_cast<std::uint8_t>((s == 0 ? 0x40 : 0x20) | ((segments[s].size() - 1) & 0x0F)));
        data.push_back(static_cast<std::uint8_t>(s == 0 ? 0x00 : s << 4));
        data.insert(data.end(), segments[s].begin(), segments[s].end());
        const std::uint16_t crc = TPADObject::Crc16(data.data(), data.size());
        std::vector<std::uint8_t> group = {0x02};
        group.insert(group.end(), data.begin(), data.end());
        group.push_back(static_cast<std::uint8_t>(crc >> 8));
        group.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        for (std::size_t at = 0; at < group.size(); at += 4) {
            std::uint8_t xpad[4] = {0, 0, 0, 0};
            for (std::size_t i = 0; i < 4 && at + i < group.size(); ++i) {
                xpad[i] = group[at + i];
            }
            frames.push_back(Frame(xpad, at == 0));
        }
    }
    return frames;
}

void SetCounters(benchmark::State& state, int recorders) {
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["s_per_frame_per_recorder"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * recorders,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void RunOnData(benchmark::State& state, bool wantsPad) {
    const int count = static_cast<int>(state.range(0));
    TViaDABRxEvents sink;
    std::vector<std::unique_ptr<NullRecorder>> recorders;
    for (int i = 0; i < count; ++i) {
        recorders.push_back(std::make_unique<NullRecorder>(wantsPad));
        sink.AddRecorder(recorders.back().get());
    }
    const auto frames = LabelFrames();
    // Two rounds complete the label once, so the timed frames decode like a live stream.
    for (int round = 0; round < 2; ++round) {
        for (const auto& frame : frames) {
            sink.OnData(kStream, frame.data(), kFrameLength);
        }
    }
    if (wantsPad && sink.GetStreamInfo(kStream).DynamicLabel.isEmpty()) {
        state.SkipWithError("the label was not decoded");
    }
    std::size_t next = 0;
    for (auto _ : state) {
        const auto& frame = frames[next];
        next = next + 1 == frames.size() ? 0 : next + 1;
        benchmark::DoNotOptimize(sink.OnData(kStream, frame.data(), kFrameLength));
    }
    for (auto& r : recorders) {
        sink.RemoveRecorder(r.get());
    }
    SetCounters(state, count);
}

// Baseline: copying the frame once, what any consumer costs at least.
void BM_MemcpyFrame(benchmark::State& state) {
    const auto frames = LabelFrames();
    std::uint8_t copy[kFrameLength];
    for (auto _ : state) {
        std::memcpy(copy, frames[0].data(), kFrameLength);
        benchmark::DoNotOptimize(copy);
        benchmark::ClobberMemory();
    }
    SetCounters(state, 1);
}

void BM_OnData(benchmark::State& state) {
    RunOnData(state, false);
}
void BM_OnDataWithPAD(benchmark::State& state) {
    RunOnData(state, true);
}

BENCHMARK(BM_MemcpyFrame);
BENCHMARK(BM_OnData)->ArgName("recorders")->Arg(1)->Arg(10)->Arg(100);
BENCHMARK(BM_OnDataWithPAD)->ArgName("recorders")->Arg(1)->Arg(10)->Arg(100);

}  // namespace

BENCHMARK_MAIN();

// Cost of reading one ETI-NI frame (6144 bytes, 24 ms of an ensemble): finding its sync,
// checking the header CRC and lengths, cutting the MST into sub-channels and copying one
// 128 kbit/s audio sub-channel out, beside a plain copy of the frame. The bytes come as whole
// frames (a file read in frames) or in 4096-byte pieces (a pipe), which the reader must gather.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "eti/EtiFrame.h"
#include "eti/EtiStreamReader.h"

namespace {

// A mode I frame with a FIC and three streams (128 kbit/s, 48 kbit/s, 16 kbit/s).
std::vector<std::uint8_t> Frame() {
    const int words[] = {48, 18, 6};  // STL, 8-byte units
    std::vector<std::uint8_t> f(EtiFrame::kSize, 0x55);
    f[0] = 0xFF;
    f[1] = 0x07, f[2] = 0x3A, f[3] = 0xB6;
    int fl = 3 + 1 + 24;
    for (int w : words) {
        fl += 2 * w;
    }
    f[4] = 0;
    f[5] = 0x80 | 3;
    f[6] = static_cast<std::uint8_t>((1 << 3) | (fl >> 8));
    f[7] = static_cast<std::uint8_t>(fl);
    int start = 0;
    for (int i = 0; i < 3; ++i) {
        std::uint8_t* s = f.data() + 8 + 4 * i;
        s[0] = static_cast<std::uint8_t>((i << 2) | (start >> 8));
        s[1] = static_cast<std::uint8_t>(start);
        s[2] = static_cast<std::uint8_t>((0x22 << 2) | (words[i] >> 8));
        s[3] = static_cast<std::uint8_t>(words[i]);
        start += words[i];
    }
    const std::size_t eoh = 8 + 4 * 3;
    f[eoh] = f[eoh + 1] = 0;
    const std::uint16_t crc = EtiFrame::Crc16(f.data() + 4, eoh + 2 - 4);
    f[eoh + 2] = static_cast<std::uint8_t>(crc >> 8);
    f[eoh + 3] = static_cast<std::uint8_t>(crc);
    for (std::size_t i = eoh + 4; i < 8 + 4 * static_cast<std::size_t>(fl); ++i) {
        f[i] = static_cast<std::uint8_t>(i * 31);
    }
    return f;
}

void BM_CopyFrame(benchmark::State& state) {
    const std::vector<std::uint8_t> frame = Frame();
    std::vector<std::uint8_t> copy(EtiFrame::kSize);
    for (auto _ : state) {
        std::memcpy(copy.data(), frame.data(), frame.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CopyFrame);

void BM_ReadAndDemultiplexFrame(benchmark::State& state) {
    const std::vector<std::uint8_t> frame = Frame();
    std::vector<std::uint8_t> audio(384);
    EtiStreamReader reader([&](const EtiFrameView& v) {
        std::memcpy(audio.data(), v.streams[0].data, v.streams[0].length);
    });
    // Whole frames, or two frames in three pieces: the iteration reads `frames` frames.
    const auto piece = static_cast<std::size_t>(state.range(0));
    const std::size_t frames = piece == EtiFrame::kSize ? 1 : 2;
    std::vector<std::uint8_t> stream;
    for (std::size_t i = 0; i < frames; ++i) {
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    for (auto _ : state) {
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            reader.Feed(stream.data() + at, piece);
        }
        benchmark::DoNotOptimize(audio.data());
        benchmark::ClobberMemory();
    }
    if (reader.GetCounts().frames != frames * state.iterations()) {
        state.SkipWithError("frames were not read");
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(frames * state.iterations()));
}
BENCHMARK(BM_ReadAndDemultiplexFrame)->Arg(6144)->Arg(4096);

}  // namespace

BENCHMARK_MAIN();

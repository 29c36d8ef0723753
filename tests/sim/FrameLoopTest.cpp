#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "recording/TWaveWriter.h"
#include "sim/AirFile.h"
#include "sim/FrameLoop.h"
#include "sim/WavReader.h"
#include "tests/sim/LayerTwo.h"
#include "tests/support/Mpg123Reader.h"

namespace {

AirComponent Audio(int kbps, const std::string& mode, int rateKHz, const std::string& programme) {
    AirComponent c;
    c.label = "Test";
    c.bitrate = kbps;
    c.mode = mode;
    c.channels = mode == "mono" ? 1 : 2;
    c.sampleRate = rateKHz * 1000;
    c.programme = programme;
    return c;
}

// Writes `samples` of a mono tone at `rate` Hz as a WAV file (on a FIFO: once it is read).
void WriteWav(const std::string& path, int rate, std::size_t samples) {
    std::vector<std::int16_t> pcm(samples);
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        pcm[i] = static_cast<std::int16_t>(8000 * std::sin(static_cast<double>(i) * 0.03));
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    TWaveWriter(fd, rate, 1)
        .Write(reinterpret_cast<const std::uint8_t*>(pcm.data()), static_cast<int>(2 * pcm.size()));
    ::close(fd);
}

}  // namespace

// Every frame of a loop is one whole, CRC-protected Layer II frame of the configured rate and
// mode, with a valid error check word, the DAB tail reserved (X-PAD and F-PAD still zero) and
// a filled ScF-CRC of the length of EN 300 401; libmpg123 decodes two rounds of the loop
// without error.
TEST(FrameLoopTest, FramesAreValidDabLayerTwo) {
    struct Case {
        int kbps;
        const char* mode;
        int rateKHz;
        const char* programme;
        int headerMode;
        int crcLength;
    };
    const Case cases[] = {
        {128, "stereo", 48, "chords", 0, 4},  {96, "stereo", 48, "melody", 0, 2},
        {128, "joint", 48, "arpeggio", 1, 4}, {48, "mono", 48, "drone", 3, 2},
        {64, "mono", 48, "bells", 3, 4},      {48, "mono", 24, "speech", 3, 4},
        {64, "stereo", 24, "chords", 0, 4},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.kbps) + " " + k.mode + " " + std::to_string(k.rateKHz));
        const auto loop = FrameLoop::Encode(Audio(k.kbps, k.mode, k.rateKHz, k.programme));
        ASSERT_EQ(loop->ScfCrcLength(), k.crcLength);
        EXPECT_NEAR(loop->Count() * loop->FrameSeconds(), 7.68, 0.05);
        EXPECT_DOUBLE_EQ(loop->FrameSeconds(), k.rateKHz == 48 ? 0.024 : 0.048);
        std::vector<std::uint8_t> stream;
        int crcMismatches = 0;
        int jointFrames = 0;
        std::set<std::vector<std::uint8_t>> scfCrcs;
        for (std::size_t i = 0; i < loop->Count(); ++i) {
            const std::uint8_t* f = loop->Frame(i);
            LayerTwoHeader h;
            ASSERT_TRUE(ParseLayerTwoHeader(f, 4, h)) << i;
            ASSERT_EQ(h.length, loop->FrameLength());
            EXPECT_TRUE(h.protectedByCrc);
            EXPECT_EQ(h.mpeg1, k.rateKHz == 48);
            EXPECT_EQ(h.bitrate, k.kbps);
            EXPECT_EQ(h.sampleRate, k.rateKHz * 1000);
            // A joint stereo stream sends frames without intensity-coded sub-bands as stereo.
            if (k.headerMode == 1 && h.mode == 1) {
                ++jointFrames;
            } else {
                EXPECT_EQ(h.mode, k.headerMode == 1 ? 0 : k.headerMode);
            }
            crcMismatches += LayerTwoCrcMatches(f, h) ? 0 : 1;
            const int L = h.length;
            for (int b = L - 2 - k.crcLength - 4; b < L - 2 - k.crcLength; ++b) {
                EXPECT_EQ(f[b], 0) << "X-PAD byte " << b << " of frame " << i;
            }
            EXPECT_EQ(f[L - 2] | f[L - 1], 0);
            scfCrcs.insert(std::vector<std::uint8_t>(f + L - 2 - k.crcLength, f + L - 2));
            stream.insert(stream.end(), f, f + L);
        }
        EXPECT_EQ(crcMismatches, 0);
        // The encoder fills every ScF-CRC, the loop's last included: they vary with the scale
        // factors, and the last is not left zero.
        EXPECT_GT(scfCrcs.size(), loop->Count() / 8);
        const std::uint8_t* last = loop->Frame(loop->Count() - 1) + loop->FrameLength() - 2;
        EXPECT_NE(std::vector<std::uint8_t>(last - k.crcLength, last),
                  std::vector<std::uint8_t>(static_cast<std::size_t>(k.crcLength), 0));
        if (k.headerMode == 1) {
            EXPECT_GT(jointFrames, 0);
        }
        stream.insert(stream.end(), stream.begin(), stream.end());  // the loop goes round
        const Mpg123Reading d = ReadMpeg(stream);
        EXPECT_EQ(d.error, QString());
        EXPECT_EQ(d.rate, k.rateKHz * 1000);
        EXPECT_EQ(d.channels, k.headerMode == 3 ? 1 : 2);
        EXPECT_GE(d.frames, static_cast<long>(2 * loop->Count() - 1) * 1152);
        EXPECT_GT(d.rms, 300.0);  // a programme, not silence
    }
}

// A WAV file at the component's rate is looped instead of a generated programme, cut to whole
// frames and to its first 120 s, and read as it is encoded: a FIFO is read to its end, and one
// that never delivers gives way as soon as a stop is requested; a WAV at another rate is refused.
TEST(FrameLoopTest, LoopsAWavFileAndStaysStoppable) {
    QTemporaryDir dir;
    AirComponent c = Audio(128, "stereo", 48, "chords");
    c.wavFile = dir.path().toStdString() + "/tone.wav";
    WriteWav(c.wavFile, 48000, 1152 * 5 + 100);
    const auto loop = FrameLoop::Encode(c);
    EXPECT_EQ(loop->Count(), 5u);
    std::vector<std::uint8_t> stream(loop->Frame(0), loop->Frame(0) + 5 * loop->FrameLength());
    EXPECT_EQ(ReadMpeg(stream).error, QString());
    c.sampleRate = 24000;
    c.bitrate = 64;
    EXPECT_THROW(FrameLoop::Encode(c), std::runtime_error);

    c = Audio(64, "mono", 24, "chords");
    c.wavFile = dir.path().toStdString() + "/long.wav";
    WriteWav(c.wavFile, 24000, 150 * 24000);
    EXPECT_EQ(FrameLoop::Encode(c)->Count(), 120u * 24000 / 1152);

    c.wavFile = dir.path().toStdString() + "/fifo.wav";
    ASSERT_EQ(::mkfifo(c.wavFile.c_str(), 0600), 0);
    std::jthread writer([&] { WriteWav(c.wavFile, 24000, 5 * 1152); });
    EXPECT_EQ(FrameLoop::Encode(c)->Count(), 5u);
    writer.join();

    std::stop_source stop;
    std::jthread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop.request_stop();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(FrameLoop::Encode(c, stop.get_token()), WavReader::Stopped);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

// MP3 and Ogg Vorbis recordings through TBladeInterfaceWriter, read back with libmpg123 and
// libvorbisfile.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <mpg123.h>
#include <unistd.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

#include "CodecTestSupport.h"
#include "LayerTwoStream.h"
#include "platform/Formats.h"
#include "recording/CodecAvailability.h"
#include "recording/TBladeInterfaceWriter.h"
#include "tests/support/Mpg123Reader.h"

namespace {

using MakeWriter = std::function<std::unique_ptr<TBaseWriter>(int fd)>;

class BladeWriter : public testing::Test {
protected:
    void SetUp() override { ProbeCodecs(CodecFolder()); }

    // Writes `pcm` through the writer `make` opens on a fresh file; the file's path once the
    // writer is gone.
    QString Record(const MakeWriter& make, const std::vector<std::uint8_t>& pcm) {
        const QString path = dir.filePath("out");
        const int fd =
            ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        if (auto writer = make(fd); !pcm.empty()) {
            writer->Write(pcm.data(), static_cast<int>(pcm.size()));
        }
        ::close(fd);
        return path;
    }

    QTemporaryDir dir;
};

// Broadband stereo audio like a broadcast's: a sawtooth chord, a bass drum twice a second and
// noise bursts four times a second (a pure tone needs far less than any nominal rate).
std::vector<std::uint8_t> MakeBandPcm(int rate, double seconds) {
    std::minstd_rand random(17);
    std::vector<std::uint8_t> pcm(static_cast<std::size_t>(rate * seconds) * 4);
    for (std::size_t i = 0; i < pcm.size(); i += 2) {
        const double t = static_cast<double>(i / 4) / rate;
        const double chord = std::fmod(110 * t, 1.0) + std::fmod((i % 4 ? 220 : 138.6) * t, 1.0);
        const double noise = static_cast<double>(random()) / random.max() - 0.5;
        const double value = 0.16 * chord + 0.6 * noise * std::exp(-30 * std::fmod(t, 0.25)) +
                             0.4 * std::sin(2 * M_PI * 55 * t) * std::exp(-8 * std::fmod(t, 0.5));
        const auto sample = static_cast<std::int16_t>(std::clamp(value, -1.0, 1.0) * 32767);
        pcm[i] = static_cast<std::uint8_t>(sample & 0xFF);
        pcm[i + 1] = static_cast<std::uint8_t>((sample >> 8) & 0xFF);
    }
    return pcm;
}

}  // namespace

// A stereo 48 kHz broadcast becomes MPEG-1 Layer III stereo at the asked bitrate; mono 24 kHz
// becomes MPEG-2 mono; an output rate resamples. The decoded length is the input plus at most
// the encoder's delay and padding.
TEST_F(BladeWriter, Mp3DecodesBackWithTheExpectedFormat) {
    struct Case {
        int rate, channels, bitrate, outputRate, expectRate, expectVersion, expectMode;
    };
    for (const Case c : {Case{48000, 2, 96, 0, 48000, MPG123_1_0, MPG123_M_STEREO},
                         Case{24000, 1, 64, 0, 24000, MPG123_2_0, MPG123_M_MONO},
                         Case{48000, 2, 128, 44100, 44100, MPG123_1_0, MPG123_M_STEREO}}) {
        SCOPED_TRACE(testing::Message() << c.rate << "/" << c.channels << " -> " << c.expectRate);
        const std::vector<std::uint8_t> pcm =
            DecodeAll(MakeLayerTwo(c.rate, c.channels, c.channels == 2 ? 128 : 64, 1.0).Bytes);
        const Mpg123Reading mp3 = ReadMpegFile(Record(
            [&](int fd) {
                return CreateMp3Writer(fd, c.channels, c.rate, c.outputRate, c.bitrate);
            },
            pcm));
        EXPECT_EQ(mp3.layer, 3);
        EXPECT_EQ(mp3.rate, c.expectRate);
        EXPECT_EQ(mp3.channels, c.channels);
        EXPECT_EQ(mp3.version, c.expectVersion);
        EXPECT_EQ(mp3.mode, c.expectMode);
        EXPECT_EQ(mp3.bitrate, c.bitrate);
        const long inputFrames =
            static_cast<long>(pcm.size()) / (2 * c.channels) * c.expectRate / c.rate;
        EXPECT_GE(mp3.frames, inputFrames);
        EXPECT_LE(mp3.frames, inputFrames + 3 * 1152);
    }
}

// The Ogg Vorbis file carries the input's rate, channels, nominal bitrate and exact sample
// count, with TITLE and DATE comments only when given, also at a bitrate the encoder cannot
// manage (32 kbit/s stereo 48 kHz) and, valid and empty, when the writer never got audio.
TEST_F(BladeWriter, OggCarriesEverySampleTitleAndDate) {
    const double begun = DateTimeToDays(QDateTime(QDate(2002, 3, 1), QTime(19, 59, 55)));
    struct Case {
        QString title;
        double time;
        int bitrate, channels, rate;
        double seconds;
        long expectNominal;  // 0: whatever the encoder manages
        const char* expectTitle;
        const char* expectDate;
    };
    for (const Case& c : {Case{"BBC RADIO 3 ÜBER", begun, 96, 2, 48000, 1.0, 96000,
                               "BBC RADIO 3 ÜBER", "20:00 Friday 1 March 2002"},
                          Case{QString(), 0, 96, 2, 48000, 1.0, 96000, nullptr, nullptr},
                          Case{"LOW", 0, 32, 2, 48000, 0.5, 0, "LOW", nullptr},
                          Case{"E", 0, 64, 1, 24000, 0, 64000, "E", nullptr}}) {
        SCOPED_TRACE(c.bitrate);
        const std::vector<std::uint8_t> pcm =
            c.seconds > 0 ? DecodeAll(MakeLayerTwo(c.rate, c.channels, 128, c.seconds).Bytes)
                          : std::vector<std::uint8_t>();
        const OggReading ogg = ReadOggFile(Record(
            [&](int fd) {
                return CreateOggWriter(fd, c.channels, c.rate, c.bitrate, c.title, c.time);
            },
            pcm));
        ASSERT_TRUE(ogg.opened);
        EXPECT_EQ(ogg.channels, c.channels);
        EXPECT_EQ(ogg.rate, c.rate);
        EXPECT_EQ(ogg.samples, static_cast<long long>(pcm.size()) / (2 * c.channels));
        if (c.expectNominal != 0) {
            EXPECT_EQ(ogg.nominalBitrate, c.expectNominal);
        }
        EXPECT_EQ(ogg.title, c.expectTitle ? QString::fromUtf8(c.expectTitle) : QString());
        EXPECT_EQ(ogg.date, c.expectDate ? QString::fromUtf8(c.expectDate) : QString());
    }
}

// Given only a nominal bitrate, the recording averages that rate within 10 % over
// programme-like audio, as the rate follows the content instead of being held to bounds.
TEST_F(BladeWriter, OggAveragesTheNominalBitrate) {
    const std::vector<std::uint8_t> pcm = MakeBandPcm(48000, 6.0);
    const OggReading ogg = ReadOggFile(
        Record([](int fd) { return CreateOggWriter(fd, 2, 48000, 96, QString(), 0); }, pcm));
    ASSERT_TRUE(ogg.opened);
    EXPECT_EQ(ogg.nominalBitrate, 96000);
    EXPECT_NEAR(ogg.averageBitrate, 96000, 9600);
}

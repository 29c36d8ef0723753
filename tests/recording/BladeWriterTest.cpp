// MP3 and Ogg Vorbis recordings through TBladeInterfaceWriter, read back with libmpg123 and
// libvorbisfile.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <mpg123.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

#include "CodecTestSupport.h"
#include "LayerTwoStream.h"
#include "platform/Formats.h"
#include "recording/CodecAvailability.h"
#include "recording/TBladeInterfaceWriter.h"

namespace {

// Runs `make` on a fresh file descriptor and returns the file's path once the writer is gone.
QString Record(const QTemporaryDir& dir, const QString& name,
               const std::function<void(int fd)>& make) {
    const QString path = dir.filePath(name);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    make(fd);
    ::close(fd);
    return path;
}

class BladeWriter : public testing::Test {
protected:
    void SetUp() override { ProbeCodecs(CodecFolder()); }
    QTemporaryDir dir;
};

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
        const QString path = Record(dir, "out.mp3", [&](int fd) {
            auto writer = CreateMp3Writer(fd, c.channels, c.rate, c.outputRate, c.bitrate);
            writer->Write(pcm.data(), static_cast<int>(pcm.size()));
        });
        const Mp3Info info = DecodeMp3(path);
        EXPECT_EQ(info.Layer, 3);
        EXPECT_EQ(info.Rate, c.expectRate);
        EXPECT_EQ(info.Channels, c.channels);
        EXPECT_EQ(info.Version, c.expectVersion);
        EXPECT_EQ(info.Mode, c.expectMode);
        EXPECT_EQ(info.Bitrate, c.bitrate);
        const long inputFrames =
            static_cast<long>(pcm.size()) / (2 * c.channels) * c.expectRate / c.rate;
        EXPECT_GE(info.Frames, inputFrames);
        EXPECT_LE(info.Frames, inputFrames + 3 * 1152);
    }
}

// The Ogg Vorbis file carries TITLE and DATE comments, the input's rate, channels, nominal
// bitrate and exact sample count; without title and time there are no such comments.
TEST_F(BladeWriter, OggCarriesTitleAndDate) {
    const std::vector<std::uint8_t> pcm = DecodeAll(MakeLayerTwo(48000, 2, 128, 1.0).Bytes);
    const double begun = DateTimeToDays(QDateTime(QDate(2002, 3, 1), QTime(19, 59, 55)));
    struct Case {
        QString title;
        double time;
        const char* expectTitle;
        const char* expectDate;
    };
    for (const Case& c :
         {Case{"BBC RADIO 3 ÜBER", begun, "BBC RADIO 3 ÜBER", "20:00 Friday 1 March 2002"},
          Case{QString(), 0, nullptr, nullptr}}) {
        const QString path = Record(dir, "out.ogg", [&](int fd) {
            auto writer = CreateOggWriter(fd, 2, 48000, 96, c.title, c.time);
            writer->Write(pcm.data(), static_cast<int>(pcm.size()));
        });
        OggVorbis_File file;
        ASSERT_EQ(ov_fopen(QFile::encodeName(path).constData(), &file), 0);
        const vorbis_info* info = ov_info(&file, -1);
        EXPECT_EQ(info->channels, 2);
        EXPECT_EQ(info->rate, 48000);
        EXPECT_EQ(info->bitrate_nominal, 96000);
        EXPECT_EQ(ov_pcm_total(&file, -1), static_cast<ogg_int64_t>(pcm.size() / 4));
        vorbis_comment* comments = ov_comment(&file, -1);
        const char* title = vorbis_comment_query(comments, "TITLE", 0);
        const char* date = vorbis_comment_query(comments, "DATE", 0);
        if (c.expectTitle) {
            ASSERT_TRUE(title && date);
            EXPECT_STREQ(title, c.expectTitle);
            EXPECT_STREQ(date, c.expectDate);
        } else {
            EXPECT_EQ(title, nullptr);
            EXPECT_EQ(date, nullptr);
        }
        ov_clear(&file);
    }
}

// A bitrate the Vorbis encoder cannot manage at this rate (32 kbit/s stereo 48 kHz) still gives
// a complete recording; an Ogg writer that never gets audio leaves a valid, empty stream.
TEST_F(BladeWriter, OggLowBitrateAndEmptyRecording) {
    const std::vector<std::uint8_t> pcm = DecodeAll(MakeLayerTwo(48000, 2, 128, 0.5).Bytes);
    QString path = Record(dir, "low.ogg", [&](int fd) {
        auto writer = CreateOggWriter(fd, 2, 48000, 32, "LOW", 0);
        writer->Write(pcm.data(), static_cast<int>(pcm.size()));
    });
    OggVorbis_File file;
    ASSERT_EQ(ov_fopen(QFile::encodeName(path).constData(), &file), 0);
    EXPECT_EQ(ov_pcm_total(&file, -1), static_cast<ogg_int64_t>(pcm.size() / 4));
    ov_clear(&file);

    path = Record(dir, "empty.ogg", [](int fd) { CreateOggWriter(fd, 1, 24000, 64, "E", 0); });
    ASSERT_EQ(ov_fopen(QFile::encodeName(path).constData(), &file), 0);
    EXPECT_EQ(ov_info(&file, -1)->channels, 1);
    EXPECT_EQ(ov_pcm_total(&file, -1), 0);
    ov_clear(&file);
}

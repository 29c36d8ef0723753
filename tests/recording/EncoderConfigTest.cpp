// The configuration records as the encoder libraries read them (their layout is pinned where
// they are declared).

#include <gtest/gtest.h>

#include <QDateTime>
#include <cstring>

#include "platform/Formats.h"
#include "recording/EncoderConfig.h"

namespace {

double Days(int year, int month, int day, int hour, int minute, int second) {
    return DateTimeToDays(QDateTime(QDate(year, month, day), QTime(hour, minute, second)));
}

// The text a record's text field points to within its block.
std::string TextAt(const std::vector<std::uint8_t>& block, std::uint32_t distance) {
    return distance == 0 ? std::string("(null)")
                         : std::string(reinterpret_cast<const char*>(block.data() + distance));
}

}  // namespace

// The MP3 record holds the stated values and zeros elsewhere; channel mode 0 for a stereo
// input, 3 for mono.
TEST(EncoderConfig, Mp3Record) {
    const BeMp3Config stereo = MakeMp3Config(48000, 44100, 96, 2);
    EXPECT_EQ(std::tuple(stereo.Config, stereo.StructVersion, stereo.StructSize, stereo.SampleRate,
                         stereo.ReSampleRate, stereo.Mode, stereo.Bitrate, stereo.MaxBitrate,
                         stereo.Preset, stereo.MpegVersion),
              std::tuple(256u, 1u, 331u, 48000u, 44100u, 0, 96u, 320u, 0, 1u));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&stereo);
    for (std::size_t offset = offsetof(BeMp3Config, PsyModel); offset < sizeof stereo; ++offset) {
        ASSERT_EQ(bytes[offset], 0) << "byte " << offset;
    }
    const BeMp3Config mono = MakeMp3Config(24000, 0, 64, 1);
    EXPECT_EQ(mono.Mode, 3);
    EXPECT_EQ(mono.ReSampleRate, 0u);
}

// The Ogg Vorbis record: the stated values, title and date texts reached through their fields,
// null fields when there is no title or no recording time.
TEST(EncoderConfig, OggRecord) {
    const std::vector<std::uint8_t> block =
        MakeOggConfig(2, 48000, 96, "RADIO ÖST", Days(2002, 3, 1, 19, 59, 55));
    BeOggConfig r;
    ASSERT_GT(block.size(), sizeof r);
    std::memcpy(&r, block.data(), sizeof r);
    EXPECT_EQ(std::tuple(r.Config, r.StructVersion, r.Channels, r.SampleRate, r.MaxBitrate,
                         r.MinBitrate, r.Bitrate),
              std::tuple(512u, 2u, 2u, 48000u, -1, -1, 96));
    EXPECT_EQ(TextAt(block, r.Title), "RADIO ÖST");
    EXPECT_EQ(TextAt(block, r.Date), "20:00 Friday 1 March 2002");
    for (std::uint32_t unused : {r.Artist, r.Album, r.Genre, r.TrackNumber, r.Comment, r.Copyright,
                                 r.Reserved[0], r.Reserved[1], r.Reserved[2]}) {
        EXPECT_EQ(unused, 0u);
    }

    const std::vector<std::uint8_t> bare = MakeOggConfig(1, 24000, 64, QString(), 0);
    ASSERT_EQ(bare.size(), sizeof r);
    std::memcpy(&r, bare.data(), sizeof r);
    EXPECT_EQ(std::tuple(r.Channels, r.Title, r.Date), std::tuple(1u, 0u, 0u));
}

// The date text is the recording time plus 10 seconds, hour without a leading zero, English
// weekday and month names; no date for 0 or a time that is no date.
TEST(EncoderConfig, OggDateText) {
    EXPECT_EQ(OggDateText(Days(2002, 3, 1, 19, 59, 55)), "20:00 Friday 1 March 2002");
    EXPECT_EQ(OggDateText(Days(2002, 3, 1, 19, 59, 49)), "19:59 Friday 1 March 2002");
    EXPECT_EQ(OggDateText(Days(2024, 12, 31, 23, 59, 50)), "0:00 Wednesday 1 January 2025");
    EXPECT_EQ(OggDateText(Days(2023, 7, 9, 9, 5, 0)), "9:05 Sunday 9 July 2023");
    EXPECT_EQ(OggDateText(0), QString());
    EXPECT_EQ(OggDateText(1e12), QString());
}

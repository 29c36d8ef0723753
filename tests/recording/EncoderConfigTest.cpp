// The configuration records as the encoder libraries read them (their layout is pinned where
// they are declared; the values the encoders act on are checked on their output).

#include <gtest/gtest.h>

#include <QDateTime>
#include <cstring>

#include "platform/Formats.h"
#include "recording/EncoderConfig.h"

namespace {

double Days(int year, int month, int day, int hour, int minute, int second) {
    return DateTimeToDays(QDateTime(QDate(year, month, day), QTime(hour, minute, second)));
}

}  // namespace

// The MP3 record is zero beyond the values it states, so no encoder option is set by chance.
TEST(EncoderConfig, Mp3RecordIsZeroBeyondItsValues) {
    const BeMp3Config stereo = MakeMp3Config(48000, 44100, 96, 2);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&stereo);
    for (std::size_t offset = offsetof(BeMp3Config, PsyModel); offset < sizeof stereo; ++offset) {
        ASSERT_EQ(bytes[offset], 0) << "byte " << offset;
    }
}

// The Ogg Vorbis record leaves every comment it does not fill null and the bitrate unbounded;
// without a title or a recording time those fields are null too, not empty texts.
TEST(EncoderConfig, OggRecordLeavesUnusedFieldsNull) {
    BeOggConfig r;
    const std::vector<std::uint8_t> block =
        MakeOggConfig(2, 48000, 96, "RADIO", Days(2002, 3, 1, 19, 59, 55));
    ASSERT_GT(block.size(), sizeof r);
    std::memcpy(&r, block.data(), sizeof r);
    EXPECT_EQ(std::tuple(r.MaxBitrate, r.MinBitrate), std::tuple(-1, -1));
    for (std::uint32_t unused : {r.Artist, r.Album, r.Genre, r.TrackNumber, r.Comment, r.Copyright,
                                 r.Reserved[0], r.Reserved[1], r.Reserved[2]}) {
        EXPECT_EQ(unused, 0u);
    }

    const std::vector<std::uint8_t> bare = MakeOggConfig(1, 24000, 64, QString(), 0);
    ASSERT_EQ(bare.size(), sizeof r);
    std::memcpy(&r, bare.data(), sizeof r);
    EXPECT_EQ(std::tuple(r.Title, r.Date), std::tuple(0u, 0u));
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

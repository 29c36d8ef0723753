// The configuration records as the encoder libraries read them, byte by byte.

#include <gtest/gtest.h>

#include <QDateTime>
#include <cstring>

#include "CodecTestSupport.h"
#include "platform/Formats.h"
#include "recording/EncoderConfig.h"

namespace {

std::vector<std::uint8_t> Bytes(const BeMp3Config& record) {
    std::vector<std::uint8_t> bytes(sizeof record);
    std::memcpy(bytes.data(), &record, sizeof record);
    return bytes;
}

double Days(int year, int month, int day, int hour, int minute, int second) {
    return DateTimeToDays(QDateTime(QDate(year, month, day), QTime(hour, minute, second)));
}

std::string TextAt(const std::vector<std::uint8_t>& block, int fieldOffset) {
    const std::uint32_t distance = FieldAt(block, fieldOffset);
    return distance == 0 ? std::string("(null)")
                         : std::string(reinterpret_cast<const char*>(block.data() + distance));
}

}  // namespace

// The MP3 record is 331 bytes with the stated values at their offsets; channel mode 0 for a
// stereo input, 3 for mono.
TEST(EncoderConfig, Mp3RecordLayout) {
    const std::vector<std::uint8_t> stereo = Bytes(MakeMp3Config(48000, 44100, 96, 2));
    ASSERT_EQ(stereo.size(), 331u);
    EXPECT_EQ(FieldAt(stereo, 0), 256u);
    EXPECT_EQ(FieldAt(stereo, 4), 1u);
    EXPECT_EQ(FieldAt(stereo, 8), 331u);
    EXPECT_EQ(FieldAt(stereo, 12), 48000u);
    EXPECT_EQ(FieldAt(stereo, 16), 44100u);
    EXPECT_EQ(FieldAt(stereo, 20), 0u);
    EXPECT_EQ(FieldAt(stereo, 24), 96u);
    EXPECT_EQ(FieldAt(stereo, 28), 320u);
    EXPECT_EQ(FieldAt(stereo, 32), 0u);
    EXPECT_EQ(FieldAt(stereo, 36), 1u);
    for (int offset = 40; offset < 331; ++offset) {
        ASSERT_EQ(stereo[offset], 0) << "byte " << offset;
    }
    const std::vector<std::uint8_t> mono = Bytes(MakeMp3Config(24000, 0, 64, 1));
    EXPECT_EQ(FieldAt(mono, 20), 3u);
    EXPECT_EQ(FieldAt(mono, 16), 0u);
}

// The Ogg Vorbis record: the stated values at their offsets, title and date texts reached
// through their fields, null fields when there is no title or no recording time.
TEST(EncoderConfig, OggRecordLayout) {
    const double begun = Days(2002, 3, 1, 19, 59, 55);
    const std::vector<std::uint8_t> block = MakeOggConfig(2, 48000, 96, "RADIO ÖST", begun);
    ASSERT_GT(block.size(), 72u);
    EXPECT_EQ(FieldAt(block, 0), 512u);
    EXPECT_EQ(FieldAt(block, 4), 2u);
    EXPECT_EQ(FieldAt(block, 8), 2u);
    EXPECT_EQ(FieldAt(block, 12), 48000u);
    EXPECT_EQ(TextAt(block, 16), "RADIO ÖST");
    for (int offset = 20; offset <= 40; offset += 4) {
        EXPECT_EQ(FieldAt(block, offset), 0u) << offset;
    }
    EXPECT_EQ(TextAt(block, 44), "20:00 Friday 1 March 2002");
    for (int offset = 48; offset <= 56; offset += 4) {
        EXPECT_EQ(FieldAt(block, offset), 0u) << offset;
    }
    EXPECT_EQ(FieldAt(block, 60), 0xFFFFFFFFu);
    EXPECT_EQ(FieldAt(block, 64), 0xFFFFFFFFu);
    EXPECT_EQ(FieldAt(block, 68), 96u);

    const std::vector<std::uint8_t> bare = MakeOggConfig(1, 24000, 64, QString(), 0);
    EXPECT_EQ(bare.size(), 72u);
    EXPECT_EQ(FieldAt(bare, 8), 1u);
    EXPECT_EQ(FieldAt(bare, 16), 0u);
    EXPECT_EQ(FieldAt(bare, 44), 0u);
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

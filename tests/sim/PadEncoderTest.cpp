#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sim/PadEncoder.h"
#include "tests/sim/PadReader.h"

namespace {

constexpr int FrameLength = 384;  // 128 kbit/s at 48 kHz

AirComponent Component(std::vector<AirLabel> labels, int musicSpeech, double rotate) {
    AirComponent c;
    c.labels = std::move(labels);
    c.musicSpeech = musicSpeech;
    c.rotateSeconds = rotate;
    return c;
}

// Runs `frames` frames of air through the encoder and the independent reader.
PadReader AirThrough(const AirComponent& c, int frames, int crc = 4, std::int64_t first = 0) {
    PadEncoder encoder(c, 0.024);
    PadReader reader(crc);
    std::vector<std::uint8_t> frame(FrameLength, 0xAA);
    for (std::int64_t i = first; i < first + frames; ++i) {
        encoder.Fill(frame.data(), FrameLength, crc, i);
        reader.Frame(frame.data(), frame.size());
    }
    return reader;
}

}  // namespace

// The data group check is the CRC-16 of EN 300 401 (x^16+x^12+x^5+1, preset ones, inverted),
// whose check value over "123456789" is 0xD64E.
TEST(PadEncoderTest, DataGroupCrcMatchesTheStandardCheckValue) {
    const std::string digits = "123456789";
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(digits.data());
    EXPECT_EQ(PadEncoder::Crc16(bytes, digits.size()), 0xD64E);
    EXPECT_EQ(DlsCrc(bytes, digits.size()), 0xD64E);
}

// Frames read back as a receiver reads them give the rotating labels in order (cut into
// segments of up to 16 characters, every one with a good CRC), the remove-label command as an
// empty label, the music flag, and a toggle that flips per label.
TEST(PadEncoderTest, RotatingLabelsReadBackFromFrames) {
    const std::string longLabel =
        "Longer label: it needs four segments of up to sixteen characters";
    const AirComponent c = Component(
        {{false, "Short one"}, {false, longLabel}, {true, ""}, {false, "Back again"}}, 1, 2.0);
    const PadReader r = AirThrough(c, 650);  // 15.6 s: two rotations of four labels, 2 s each
    const std::vector<std::string> expected = {"Short one", longLabel, "", "Back again",
                                               "Short one", longLabel, "", "Back again"};
    EXPECT_EQ(r.Labels(), expected);
    EXPECT_EQ(r.MusicSpeech(), 1);
    EXPECT_EQ(r.XPadKind(), 1);
    for (const auto& g : r.Groups()) {
        EXPECT_TRUE(g.crcOk);
    }
    // The toggle bit of consecutive distinct labels differs.
    int flips = 0;
    for (std::size_t i = 1; i < r.Groups().size(); ++i) {
        flips += ((r.Groups()[i].prefix0 ^ r.Groups()[i - 1].prefix0) & 0x80) != 0;
    }
    EXPECT_EQ(flips, 7);
}

// Each data group starts on a frame whose F-PAD is type 00 with the short X-PAD indicator and
// the CI flag, and whose first X-PAD byte (just before the ScF-CRC) is application type 2; with
// a 2-byte ScF-CRC the X-PAD moves two bytes towards the end.
TEST(PadEncoderTest, DataGroupStartFrameLayout) {
    for (int crc : {2, 4}) {
        const AirComponent c = Component({{false, "Hello"}}, 2, 10.0);
        PadEncoder encoder(c, 0.024);
        std::vector<std::uint8_t> frame(FrameLength, 0);
        encoder.Fill(frame.data(), FrameLength, crc, 0);
        const int p = FrameLength - 3 - crc;
        EXPECT_EQ(frame[FrameLength - 2], 0x10) << crc;  // type 00, X-PAD indicator 01
        EXPECT_EQ(frame[FrameLength - 1], 0x02) << crc;  // CI flag, Z = 0
        EXPECT_EQ(frame[p], 0x02) << crc;                // dynamic label, start of data group
        EXPECT_EQ(frame[p - 1], 0x60 | 4) << crc;        // first and last segment, 5 characters
        EXPECT_EQ(frame[p - 3], 'H') << crc;
        EXPECT_EQ(std::count(frame.begin() + p + 1, frame.end() - 2, 0), crc) << "ScF-CRC touched";
        const PadReader r = AirThrough(c, 100, crc);
        EXPECT_EQ(r.Displayed(), "Hello");
        EXPECT_EQ(r.MusicSpeech(), 2);
    }
}

// Without labels the frames say "no X-PAD" and still carry the music/speech flag; with the
// flag not signalled no type 10 F-PAD is sent at all.
TEST(PadEncoderTest, FlagsWithoutLabelsAndWithoutMusicSpeech) {
    const PadReader silent = AirThrough(Component({}, 1, 8.0), 64);
    EXPECT_EQ(silent.XPadKind(), 0);
    EXPECT_EQ(silent.CiFrames(), 0);
    EXPECT_EQ(silent.MusicSpeech(), 1);
    EXPECT_EQ(silent.TypeTenFrames(), 8);

    const PadReader unsignalled = AirThrough(Component({{false, "Label"}}, 0, 8.0), 200);
    EXPECT_EQ(unsignalled.TypeTenFrames(), 0);
    EXPECT_EQ(unsignalled.Displayed(), "Label");
}

// A stream joined part-way through its air time starts with the label of that moment.
TEST(PadEncoderTest, JoiningLateStartsWithTheCurrentLabel) {
    const AirComponent c = Component({{false, "First"}, {false, "Second"}}, 1, 1.0);
    const PadReader r = AirThrough(c, 30, 4, 50);  // air time 1.2 s
    ASSERT_FALSE(r.Labels().empty());
    EXPECT_EQ(r.Labels().front(), "Second");
}

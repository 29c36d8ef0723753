#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "receiver/MpegAudioHeader.h"
#include "receiver/TPADObject.h"
#include "receiver/TViaDABRxEvents.h"
#include "tests/sim/PadReader.h"

namespace {

constexpr std::int32_t kStream = 101;
constexpr std::array<std::uint8_t, 4> kNoXPad{};

// A sink holding the information record of one stream, fed frame by frame with data groups
// built and CRC-checked by the tests' own PAD model.
class PadDecoderTest : public ::testing::Test {
protected:
    void SetUp() override { sink.AddStreamInfo(kStream); }

    void Feed(const std::vector<std::uint8_t>& frame) {
        sink.OnData(kStream, frame.data(), static_cast<std::int32_t>(frame.size()));
    }
    void SendGroup(const std::vector<std::uint8_t>& group) {
        for (const auto& frame : GroupFrames(format, group)) {
            Feed(frame);
        }
    }
    void EndGroup() { Feed(EndMarkerFrame(format)); }
    StreamInfoRecord Info() const { return sink.GetStreamInfo(kStream); }
    QString Label() const { return Info().DynamicLabel; }

    PadFormat format = kStereo128;
    TViaDABRxEvents sink;
};

}  // namespace

// A label is read in the character set its first segment names, converted whole, so a UTF-8
// character split between two segments still comes out as one character.
TEST_F(PadDecoderTest, ConvertsEachCharacterSet) {
    struct Case {
        int charset;
        std::vector<std::string> segments;
        QString shown;
    };
    const std::vector<Case> cases = {
        {0,
         {"Caf\x82 Stra\x8D"
          "e"},
         QStringLiteral("Café Straße")},
        {4, {"Caf\xE9"}, QStringLiteral("Café")},
        {6, {std::string("\x04\x1C\x04\x38\x04\x40", 6)}, QStringLiteral("Мир")},
        {15,
         {"Radio \xC5",
          "\x81\xC3\xB3"
          "d\xC5\xBA \xF0\x9F\x8E\xB5"},
         QStringLiteral("Radio Łódź 🎵")},
    };
    for (const Case& c : cases) {
        for (std::size_t i = 0; i < c.segments.size(); ++i) {
            SendGroup(LabelGroup(c.segments[i], i == 0, i + 1 == c.segments.size(),
                                 static_cast<int>(i), c.charset));
        }
        EndGroup();
        EXPECT_EQ(Label(), c.shown) << "charset " << c.charset;
    }
}

// A one-segment label written out byte by byte (CRC worked out independently) is decoded from a
// frame with a 2-byte ScF-CRC, and only once the next data group starts.
TEST(PadLiteralTest, DecodesHandWrittenFrames) {
    TPADObject pad;
    // 144-byte frame: F-PAD at 142 and 143, ScF-CRC at 140-141, X-PAD first byte at 139.
    auto frame = [](std::uint8_t x0, std::uint8_t x1, std::uint8_t x2, std::uint8_t x3,
                    std::uint8_t fpad2) {
        std::vector<std::uint8_t> f = {0xFF, 0xFC, 0x24, 0xC0};
        f.resize(144, 0x00);
        f[139] = x0;
        f[138] = x1;
        f[137] = x2;
        f[136] = x3;
        f[142] = 0x10;
        f[143] = fpad2;
        return f;
    };
    // Data group: CI 02, prefix 61 00 (first, last, 2 characters), "Hi", CRC 2D B3.
    for (const auto& f :
         {frame(0x02, 0x61, 0x00, 0x48, 0x02), frame(0x69, 0x2D, 0xB3, 0x00, 0x00)}) {
        pad.ProcessFrame(f.data(), 144, 2);
    }
    EXPECT_EQ(pad.DisplayedText(), QString());
    const auto end = frame(0x00, 0x00, 0x00, 0x00, 0x02);
    pad.ProcessFrame(end.data(), 144, 2);
    EXPECT_EQ(pad.DisplayedText(), "Hi");
}

// Labels of one, two and three segments appear only once their last segment is complete.
TEST_F(PadDecoderTest, ShowsLabelsAfterTheirLastSegment) {
    SendGroup(LabelGroup("Tunora radio", true, true, 0));
    EndGroup();
    EXPECT_EQ(Label(), "Tunora radio");

    SendGroup(LabelGroup("Now playing: Aa", true, false, 0));
    SendGroup(LabelGroup("rdvark Blues", false, true, 1));
    EXPECT_EQ(Label(), "Tunora radio");  // the last group is not finished yet
    EndGroup();
    EXPECT_EQ(Label(), "Now playing: Aardvark Blues");

    SendGroup(LabelGroup("0123456789abcdef", true, false, 0));
    SendGroup(LabelGroup("ghijklmnopqrstuv", false, false, 1));
    EndGroup();
    EXPECT_EQ(Label(), "Now playing: Aardvark Blues");
    SendGroup(LabelGroup("wxyz", false, true, 2));
    EndGroup();
    EXPECT_EQ(Label(), "0123456789abcdefghijklmnopqrstuvwxyz");
}

// A lost middle segment drops the label being assembled (its tail does not complete it) but
// keeps the displayed one; a remove-label command clears the display.
TEST_F(PadDecoderTest, LostSegmentKeepsDisplayAndRemoveClears) {
    SendGroup(LabelGroup("Old", true, true, 0));
    EndGroup();
    SendGroup(LabelGroup("AAAA", true, false, 0));
    SendGroup(LabelGroup("CCCC", false, true, 2));
    EndGroup();
    EXPECT_EQ(Label(), "Old");
    SendGroup(LabelGroup("BBBB", false, false, 1));
    SendGroup(LabelGroup("CCCC", false, true, 2));
    EndGroup();
    EXPECT_EQ(Label(), "Old");

    SendGroup(LabelGroup("New", true, true, 0));
    SendGroup(RemoveLabelGroup());
    EXPECT_EQ(Label(), "New");
    EndGroup();
    EXPECT_EQ(Label(), QString());
}

// A segment whose CRC does not match is ignored; so is every byte before the first data group
// start.
TEST_F(PadDecoderTest, IgnoresDamagedSegments) {
    auto tail = GroupFrames(format, LabelGroup("Lost start", true, true, 0));
    tail.erase(tail.begin());
    for (const auto& f : tail) {
        Feed(f);
    }
    EndGroup();
    EXPECT_EQ(Label(), QString());

    SendGroup(LabelGroup("Good", true, true, 0));
    auto bad = LabelGroup("Bad!", true, true, 0);
    bad.back() ^= 0x01;
    SendGroup(bad);
    EndGroup();
    EXPECT_EQ(Label(), "Good");
}

// The X-PAD is found before a ScF-CRC of 2 or 4 bytes as the standard gives it for the frame's
// sampling rate, bit rate and channel mode.
TEST_F(PadDecoderTest, LocatesXPadForBothScfCrcLengths) {
    int n = 0;
    for (const PadFormat& f : kPadFormats) {
        format = f;
        const std::string text = "Label " + std::to_string(++n);
        SendGroup(LabelGroup(text, true, true, 0));
        EndGroup();
        EXPECT_EQ(Label(), QString::fromStdString(text)) << "format " << n;
    }
}

// The music/speech flag comes from F-PAD type 10 frames; X-PAD is read only when the last type 0
// frame announced short X-PAD.
TEST_F(PadDecoderTest, ReadsMusicSpeechAndOnlyShortXPad) {
    const std::pair<std::uint8_t, int> flags[] = {{0x94, 1}, {0x98, 2}, {0x84, 2}};
    for (const auto& [fpad, musicSpeech] : flags) {  // 0x84: type 10 without the flag's indicator
        Feed(PadFrame(format, kNoXPad, fpad, 0x00));
        EXPECT_EQ(Info().MusicSpeech, musicSpeech) << int(fpad);
    }

    // Variable-size X-PAD (indicator 10) is not decoded.
    auto frames = GroupFrames(format, LabelGroup("Variable", true, true, 0));
    frames.push_back(EndMarkerFrame(format));
    for (auto frame : frames) {
        frame[frame.size() - 2] = 0x20;
        Feed(frame);
    }
    EXPECT_EQ(Label(), QString());
}

// Bit rate and stereo follow each header; a short block or one without sync leaves them, while
// its F-PAD is still read.
TEST_F(PadDecoderTest, HeaderSetsBitrateAndStereo) {
    Feed(PadFrame(kStereo128, kNoXPad, 0, 0));
    EXPECT_EQ(Info().Bitrate, 128);
    EXPECT_EQ(Info().Stereo, 1);
    Feed(PadFrame(kPadFormats[4], kNoXPad, 0, 0));
    EXPECT_EQ(Info().Bitrate, 64);
    EXPECT_EQ(Info().Stereo, 0);

    Feed({0xFF, 0xFC, 0x24});
    auto noSync = PadFrame(kPadFormats[1], kNoXPad, 0x98, 0x00);
    noSync[1] = 0x1C;
    Feed(noSync);
    EXPECT_EQ(Info().Bitrate, 64);
    EXPECT_EQ(Info().Stereo, 0);
    EXPECT_EQ(Info().MusicSpeech, 2);
    Feed({0xFF});  // no F-PAD at all: nothing to read, nothing read out of bounds
    EXPECT_EQ(Info().Bitrate, 64);
}

// Bit rates by version, layer and index (free format and invalid indices give 0), the channel
// modes that count as stereo, and the sampling rate, read from a header.
TEST(MpegHeaderTest, BitrateChannelsAndRate) {
    struct Case {
        int version, layer, index, kbps;
    };
    const Case cases[] = {
        {3, 2, 14, 384}, {3, 3, 14, 448}, {3, 1, 2, 40}, {2, 2, 14, 160}, {2, 3, 14, 256},
        {0, 1, 8, 64},   {3, 2, 0, 0},    {3, 2, 15, 0}, {1, 2, 8, 0},    {3, 0, 8, 0},
    };
    for (const Case c : cases) {
        EXPECT_EQ(MpegAudioHeader::BitrateFor(c.version, c.layer, c.index), c.kbps)
            << c.version << "/" << c.layer << "/" << c.index;
    }

    std::uint8_t header[4] = {0xFF, 0xF4, 0x84, 0x00};
    for (int mode = 0; mode < 4; ++mode) {
        header[3] = static_cast<std::uint8_t>(mode << 6);
        EXPECT_EQ(MpegAudioHeader::Parse(header, 4)->Stereo(), mode != 3) << mode;
    }
    EXPECT_EQ(MpegAudioHeader::Parse(header, 4)->SampleRate(), 24000);
    header[1] = 0xDC;  // top three bits not all set
    EXPECT_FALSE(MpegAudioHeader::Parse(header, 4).has_value());
}

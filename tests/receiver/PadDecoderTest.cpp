#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "receiver/MpegAudioHeader.h"
#include "receiver/TPADObject.h"
#include "receiver/TViaDABRxEvents.h"
#include "tests/receiver/PadFrames.h"

namespace {

constexpr std::int32_t kStream = 101;

// A sink holding the information record of one stream, fed frame by frame.
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
    QString Label() const { return sink.GetStreamInfo(kStream).DynamicLabel; }

    FrameFormat format = Stereo128();
    TViaDABRxEvents sink;
};

}  // namespace

// The label CRC is CRC-16/GENIBUS (CCITT polynomial, initial 0xFFFF, inverted): its check value.
TEST(PadCrcTest, MatchesTheStandardCheckValue) {
    const std::string text = "123456789";
    EXPECT_EQ(TPADObject::Crc16(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
              0xD64E);
}

// A one-segment label written out byte by byte (CRC worked out independently) is decoded from a
// frame with a 2-byte ScF-CRC, and only once the next data group starts.
TEST(PadLiteralTest, DecodesHandWrittenFrames) {
    TPADObject pad;
    // 144-byte frame: F-PAD at 142 and 143, ScF-CRC at 140-141, X-PAD first byte at 139.
    auto frame = [](std::uint8_t x0, std::uint8_t x1, std::uint8_t x2, std::uint8_t x3,
                    std::uint8_t fpad2) {
        std::vector<std::uint8_t> f(144, 0x00);
        f[0] = 0xFF;
        f[1] = 0xFC;
        f[2] = 0x24;
        f[3] = 0xC0;
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
    EXPECT_EQ(pad.DisplayedText(), QStringLiteral("Hi"));
}

// Labels of one, two and three segments appear only once their last segment is complete.
TEST_F(PadDecoderTest, ShowsLabelsAfterTheirLastSegment) {
    SendGroup(LabelSegment("Tunora radio", true, true, 0));
    EndGroup();
    EXPECT_EQ(Label(), QStringLiteral("Tunora radio"));

    SendGroup(LabelSegment("Now playing: Aa", true, false, 0));
    SendGroup(LabelSegment("rdvark Blues", false, true, 1));
    EXPECT_EQ(Label(), QStringLiteral("Tunora radio"));  // the last group is not finished yet
    EndGroup();
    EXPECT_EQ(Label(), QStringLiteral("Now playing: Aardvark Blues"));

    SendGroup(LabelSegment("0123456789abcdef", true, false, 0));
    SendGroup(LabelSegment("ghijklmnopqrstuv", false, false, 1));
    EndGroup();
    EXPECT_EQ(Label(), QStringLiteral("Now playing: Aardvark Blues"));
    SendGroup(LabelSegment("wxyz", false, true, 2));
    EndGroup();
    EXPECT_EQ(Label(), QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyz"));
}

// A lost middle segment drops the label being assembled (its tail does not complete it) but
// keeps the displayed one; a remove-label command clears the display.
TEST_F(PadDecoderTest, LostSegmentKeepsDisplayAndRemoveClears) {
    SendGroup(LabelSegment("Old", true, true, 0));
    EndGroup();
    SendGroup(LabelSegment("AAAA", true, false, 0));
    SendGroup(LabelSegment("CCCC", false, true, 2));
    EndGroup();
    EXPECT_EQ(Label(), QStringLiteral("Old"));
    SendGroup(LabelSegment("BBBB", false, false, 1));
    SendGroup(LabelSegment("CCCC", false, true, 2));
    EndGroup();
    EXPECT_EQ(Label(), QStringLiteral("Old"));

    SendGroup(LabelSegment("New", true, true, 0));
    SendGroup(RemoveLabel());
    EXPECT_EQ(Label(), QStringLiteral("New"));
    EndGroup();
    EXPECT_EQ(Label(), QString());
}

// A segment whose CRC does not match is ignored; so is every byte before the first data group
// start.
TEST_F(PadDecoderTest, IgnoresDamagedSegments) {
    auto tail = GroupFrames(format, LabelSegment("Lost start", true, true, 0));
    tail.erase(tail.begin());
    for (const auto& f : tail) {
        Feed(f);
    }
    EndGroup();
    EXPECT_EQ(Label(), QString());

    SendGroup(LabelSegment("Good", true, true, 0));
    auto bad = LabelSegment("Bad!", true, true, 0);
    bad.back() ^= 0x01;
    SendGroup(bad);
    EndGroup();
    EXPECT_EQ(Label(), QStringLiteral("Good"));
}

// The X-PAD is found before a ScF-CRC of 2 or 4 bytes as the standard gives it for the frame's
// sampling rate, bit rate and channel mode.
TEST_F(PadDecoderTest, LocatesXPadForBothScfCrcLengths) {
    int n = 0;
    for (const FrameFormat& f : {Stereo128(), Stereo96(), Mono48(), Mono64(), Lsf24Mono64()}) {
        format = f;
        const std::string text = "Label " + std::to_string(++n);
        SendGroup(LabelSegment(text, true, true, 0));
        EndGroup();
        EXPECT_EQ(Label(), QString::fromStdString(text)) << "format " << n;
    }
    const int expected[] = {4, 2, 2, 4, 4};
    int i = 0;
    for (const FrameFormat& f : {Stereo128(), Stereo96(), Mono48(), Mono64(), Lsf24Mono64()}) {
        EXPECT_EQ(MpegAudioHeader::Parse(f.header, 4)->ScfCrcLength(), expected[i++]);
    }
}

// The music/speech flag comes from F-PAD type 10 frames; X-PAD is read only when the last type 0
// frame announced short X-PAD.
TEST_F(PadDecoderTest, ReadsMusicSpeechAndOnlyShortXPad) {
    const std::uint8_t none[4] = {0, 0, 0, 0};
    Feed(Frame(format, none, 0x94, 0x00));
    EXPECT_EQ(sink.GetStreamInfo(kStream).MusicSpeech, 1);
    Feed(Frame(format, none, 0x98, 0x00));
    EXPECT_EQ(sink.GetStreamInfo(kStream).MusicSpeech, 2);
    Feed(Frame(format, none, 0x84, 0x00));  // type 10 without the flag's indicator
    EXPECT_EQ(sink.GetStreamInfo(kStream).MusicSpeech, 2);

    // Variable-size X-PAD (indicator 10) is not decoded.
    for (auto frame : GroupFrames(format, LabelSegment("Variable", true, true, 0))) {
        frame[frame.size() - 2] = 0x20;
        Feed(frame);
    }
    auto end = EndMarkerFrame(format);
    end[end.size() - 2] = 0x20;
    Feed(end);
    EXPECT_EQ(Label(), QString());
}

// Bit rate and stereo follow each header; a short block or one without sync leaves them, while
// its F-PAD is still read.
TEST_F(PadDecoderTest, HeaderSetsBitrateAndStereo) {
    const std::uint8_t none[4] = {0, 0, 0, 0};
    Feed(Frame(Stereo128(), none, 0, 0));
    EXPECT_EQ(sink.GetStreamInfo(kStream).Bitrate, 128);
    EXPECT_EQ(sink.GetStreamInfo(kStream).Stereo, 1);
    Feed(Frame(Lsf24Mono64(), none, 0, 0));
    EXPECT_EQ(sink.GetStreamInfo(kStream).Bitrate, 64);
    EXPECT_EQ(sink.GetStreamInfo(kStream).Stereo, 0);

    const std::vector<std::uint8_t> shortBlock = {0xFF, 0xFC, 0x24};
    Feed(shortBlock);
    auto noSync = Frame(Stereo96(), none, 0x98, 0x00);
    noSync[1] = 0x1C;
    Feed(noSync);
    const StreamInfoRecord info = sink.GetStreamInfo(kStream);
    EXPECT_EQ(info.Bitrate, 64);
    EXPECT_EQ(info.Stereo, 0);
    EXPECT_EQ(info.MusicSpeech, 2);
    const std::vector<std::uint8_t> tiny = {0xFF};
    Feed(tiny);  // no F-PAD at all: nothing to read, nothing read out of bounds
    EXPECT_EQ(sink.GetStreamInfo(kStream).Bitrate, 64);
}

// The published bit rate table by version, layer and index, and the two-channel rule.
TEST(MpegHeaderTest, BitrateTableAndChannelModes) {
    EXPECT_EQ(MpegAudioHeader::BitrateFor(3, 2, 1), 32);  // MPEG-1 Layer II
    EXPECT_EQ(MpegAudioHeader::BitrateFor(3, 2, 8), 128);
    EXPECT_EQ(MpegAudioHeader::BitrateFor(3, 2, 14), 384);
    EXPECT_EQ(MpegAudioHeader::BitrateFor(3, 3, 14), 448);  // MPEG-1 Layer I
    EXPECT_EQ(MpegAudioHeader::BitrateFor(3, 1, 1), 32);    // MPEG-1 Layer III
    EXPECT_EQ(MpegAudioHeader::BitrateFor(3, 1, 2), 40);
    EXPECT_EQ(MpegAudioHeader::BitrateFor(2, 2, 1), 8);  // MPEG-2 Layer II
    EXPECT_EQ(MpegAudioHeader::BitrateFor(2, 2, 14), 160);
    EXPECT_EQ(MpegAudioHeader::BitrateFor(2, 3, 14), 256);  // MPEG-2 Layer I
    EXPECT_EQ(MpegAudioHeader::BitrateFor(0, 1, 8), 64);    // MPEG-2.5 Layer III
    EXPECT_EQ(MpegAudioHeader::BitrateFor(3, 2, 0), 0);     // free format
    EXPECT_EQ(MpegAudioHeader::BitrateFor(3, 2, 15), 0);    // invalid index
    EXPECT_EQ(MpegAudioHeader::BitrateFor(1, 2, 8), 0);     // reserved version
    EXPECT_EQ(MpegAudioHeader::BitrateFor(3, 0, 8), 0);     // reserved layer

    std::uint8_t header[4] = {0xFF, 0xFC, 0x84, 0x00};
    const bool stereo[4] = {true, true, true, false};
    for (int mode = 0; mode < 4; ++mode) {
        header[3] = static_cast<std::uint8_t>(mode << 6);
        EXPECT_EQ(MpegAudioHeader::Parse(header, 4)->Stereo(), stereo[mode]) << mode;
    }
    EXPECT_EQ(MpegAudioHeader::Parse(header, 4)->SampleRate(), 48000);
    header[1] = 0xF4;
    EXPECT_EQ(MpegAudioHeader::Parse(header, 4)->SampleRate(), 24000);
    header[1] = 0xDC;  // top three bits not all set
    EXPECT_FALSE(MpegAudioHeader::Parse(header, 4).has_value());
}

// The RECODE engine and the transcoding recorder with a real child process.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include "CodecTestSupport.h"
#include "RecorderTestSupport.h"
#include "platform/Formats.h"
#include "recording/CodecAvailability.h"
#include "recording/CodecError.h"
#include "recording/TRecoderObject.h"
#include "recording/TRecorderRecode.h"
#include "tests/support/Mpg123Reader.h"
#include "tests/support/Polling.h"

namespace {

class RecodeTest : public ::testing::Test, public RecorderWorld {
protected:
    void SetUp() override { ProbeCodecs(CodecFolder()); }

    // Converts `mpeg` in this process through files standing for standard input and output.
    QByteArray Convert(const QStringList& words, const std::vector<std::uint8_t>& mpeg) {
        const QString in = Path("in.mp2");
        const QString out = Path("out.bin");
        QFile inFile(in);
        EXPECT_TRUE(inFile.open(QIODevice::WriteOnly));
        inFile.write(AsBytes(mpeg));
        inFile.close();
        const int input = ::open(QFile::encodeName(in).constData(), O_RDONLY);
        const int output =
            ::open(QFile::encodeName(out).constData(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        {
            TRecoderObject recoder(words, input, output);
            recoder.Run();
        }
        ::close(input);
        ::close(output);
        return ReadFile(out);
    }

    // A recording of `frames` through the RECODE child into `name`; returns the file's path.
    QString Record(const QString& name, const QString& format,
                   const std::vector<std::vector<std::uint8_t>>& frames) {
        const QString path = Path(name);
        TRecorderRecode recorder(radioOne, tables, settings, path, format);
        for (const auto& frame : frames) {
            recorder.WriteBlock(frame.data(), static_cast<std::int32_t>(frame.size()));
        }
        return path;
    }
};

}  // namespace

// The encoder's default bit rate follows the table by version bits (3 MPEG-1, 2 MPEG-2), layer
// bits (3 I, 2 II, 1 III) and bit-rate index; no frame gives 128 and reserved fields give 96.
TEST(RecodeBitrate, DefaultBitrateTable) {
    struct Case {
        int version, layer, index, expected;
    };
    const Case cases[] = {{3, 2, 10, 128}, {3, 3, 2, 40},  {2, 2, 8, 40},
                          {2, 1, 12, 85},  {3, 2, 15, 96}, {1, 2, 8, 96}};
    for (const Case c : cases) {
        const std::uint8_t header[] = {
            0xFF, static_cast<std::uint8_t>(0xE1 | c.version << 3 | c.layer << 1),
            static_cast<std::uint8_t>(c.index << 4 | 1 << 2), 0};
        EXPECT_EQ(TRecoderObject::DefaultBitrate(header), c.expected)
            << c.version << "/" << c.layer << "/" << c.index;
    }
    const std::uint8_t id3[] = {0x49, 0x44, 0x33, 0x03};
    EXPECT_EQ(TRecoderObject::DefaultBitrate(id3), 128);
}

// The child's words and the command line: title and timestamp quoted, bit rate and sample rate
// only when set; the recorder builds them from the service name and the settings, and the child
// reads them back.
TEST_F(RecodeTest, CommandLineWords) {
    const QDateTime when(QDate(2002, 3, 1), QTime(19, 59, 55));
    const QStringList words = TRecorderRecode::BuildArguments("MP3", "Radio One", when, 128, 22050);
    EXPECT_EQ(TRecorderRecode::BuildCommandLine("/opt/tunora/tunora", words),
              QStringLiteral("/opt/tunora/tunora RECODE MP3 \"/TITLE=Radio One\" "
                             "\"/TIMESTAMP=01/03/2002 19:59\" /BITRATE=128 /SAMPLERATE=22050"));
    EXPECT_EQ(TRecorderRecode::BuildArguments("WAV", "X", when, 0, 0),
              (QStringList{"RECODE", "WAV", "/TITLE=X", "/TIMESTAMP=01/03/2002 19:59"}));

    settings.WriteInteger(Setting::BitRate, 0);
    settings.WriteInteger(Setting::SamplingFrequency, 0);
    TRecorderRecode recorder(radioOne, tables, settings, Path("a.wav"), "WAV");
    EXPECT_TRUE(recorder.CommandLine().startsWith(TRecorderRecode::DefaultProgram() +
                                                  QStringLiteral(" RECODE WAV \"/TITLE=Radio One\" "
                                                                 "\"/TIMESTAMP=")));
    EXPECT_TRUE(recorder.CommandLine().endsWith(u'"'));

    // The engine reads its options upper-cased; an unreadable timestamp gives no recording time.
    TRecoderObject recoder({"RECODE", "ogg", "/title=Radio One", "/TIMESTAMP=01/03/2002 19:59",
                            "/BITRATE=abc", "/SAMPLERATE=22050"},
                           -1, -1);
    EXPECT_EQ(recoder.Format(), "OGG");
    EXPECT_EQ(recoder.Option("/TITLE"), "RADIO ONE");
    EXPECT_EQ(recoder.Bitrate(), 0);
    EXPECT_EQ(recoder.OutputSampleRate(), 22050);
    EXPECT_DOUBLE_EQ(recoder.RecordingTime(),
                     DateTimeToDays(QDateTime(QDate(2002, 3, 1), QTime(19, 59))));
    TRecoderObject unreadable({"RECODE", "WAV", "/TIMESTAMP=yesterday"}, -1, -1);
    EXPECT_EQ(unreadable.RecordingTime(), 0);
}

// "RAW" is the decoded PCM without header, complete also at a low bit rate where one read holds
// several frames; the first header sets channels and rate.
TEST_F(RecodeTest, RawIsHeaderlessPcmOfEveryFrame) {
    for (const auto& [rate, channels, bitrate] :
         {std::tuple{48000, 2, 128}, std::tuple{24000, 1, 8}}) {
        SCOPED_TRACE(bitrate);
        const LayerTwoStream stream = MakeLayerTwo(rate, channels, bitrate, 2.0);
        const QByteArray pcm = Convert({"RECODE", "raw"}, stream.Bytes);
        EXPECT_EQ(pcm.size(), stream.Frames * stream.PcmBytesPerFrame());
        EXPECT_EQ(pcm, AsBytes(DecodeAll(stream.Bytes)));
    }
}

// MP3 and Ogg Vorbis recordings through the RECODE child carry the broadcast's channels and
// rate and its length (within the encoder's delay); the Ogg title is in capitals.
TEST_F(RecodeTest, RecordsMp3AndOggThroughTheChild) {
    const LayerTwoStream stream = MakeLayerTwo(48000, 2, 128, 3.0);
    const auto frames = FramesOf(stream);
    const long samples = static_cast<long>(stream.Frames) * 1152;

    const Mpg123Reading mp3 = ReadMpegFile(Record("r.mp3", "MP3", frames));
    EXPECT_EQ(mp3.layer, 3);
    EXPECT_EQ(mp3.channels, 2);
    EXPECT_GE(mp3.frames, samples);
    EXPECT_LE(mp3.frames, samples + 3 * 1152);

    const OggReading ogg = ReadOggFile(Record("r.ogg", "OGG", frames));
    EXPECT_EQ(ogg.channels, 2);
    EXPECT_EQ(ogg.rate, 48000);
    EXPECT_EQ(ogg.samples, samples);
    EXPECT_EQ(ogg.title, "RADIO ONE");
}

// A child that hangs at the end of its input is killed after the stop wait, one killed while
// recording (kill -9) only loses its own blocks: the parent and the recording beside them go on
// to a whole mono 24 kHz WAV, finished at once, its older file kept as ".bak"; no child outlives
// its recorder to hold its file open.
TEST_F(RecodeTest, HungOrKilledChildEndsOnlyItsOwnRecording) {
    TRecorderRecode::SetStopWait(std::chrono::milliseconds(300));
    const auto frames = FramesOf(MakeLayerTwo(24000, 1, 64, 1.0));
    QFile old(Path("whole.wav"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    qputenv("TUNORA_TEST_CHILD_HANG", "1");
    auto hung =
        std::make_unique<TRecorderRecode>(radioOne, tables, settings, Path("hung.wav"), "WAV");
    qunsetenv("TUNORA_TEST_CHILD_HANG");
    auto killed =
        std::make_unique<TRecorderRecode>(radioOne, tables, settings, Path("killed.wav"), "WAV");
    auto whole =
        std::make_unique<TRecorderRecode>(radioOne, tables, settings, Path("whole.wav"), "WAV");
    const pid_t children[] = {hung->ProcessId(), killed->ProcessId()};
    ASSERT_GT(children[0], 0);
    ASSERT_GT(children[1], 0);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (i == frames.size() / 2) {
            ASSERT_EQ(::kill(children[1], SIGKILL), 0);
        }
        for (TRecorderRecode* r : {hung.get(), killed.get(), whole.get()}) {
            r->WriteBlock(frames[i].data(), static_cast<std::int32_t>(frames[i].size()));
        }
    }
    QElapsedTimer timer;
    timer.start();
    hung.reset();
    EXPECT_GE(timer.elapsed(), 300);
    EXPECT_LT(timer.elapsed(), 3000);
    killed.reset();
    for (const pid_t child : children) {
        EXPECT_EQ(::kill(child, 0), -1);  // reaped: its descriptors are closed
    }
    timer.restart();
    whole.reset();
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_EQ(ReadFile(Path("whole.bak")), QByteArray("old"));
    const QByteArray wav = ReadFile(Path("whole.wav"));
    ASSERT_GE(wav.size(), 44);
    EXPECT_EQ(FieldAt(wav, 40), static_cast<std::uint32_t>(wav.size() - 44));
    EXPECT_EQ(FieldAt(wav, 22, 2), 1u);
    EXPECT_EQ(FieldAt(wav, 24), 24000u);
    EXPECT_EQ(wav.size() - 44, static_cast<qsizetype>(frames.size()) * 1152 * 2);
    TRecorderRecode::SetStopWait(std::chrono::milliseconds(8000));
}

// A child that ends early neither kills this process with SIGPIPE nor blocks it: later blocks
// are dropped and no signal is left pending.
TEST_F(RecodeTest, ChildEndingEarlyDropsLaterBlocks) {
    const auto frames = FramesOf(MakeLayerTwo(48000, 2, 128, 6.0));  // ~144 KB, beyond a pipe
    qputenv("TUNORA_TEST_CHILD_EXIT_AFTER", "1000");
    auto recorder =
        std::make_unique<TRecorderRecode>(radioOne, tables, settings, Path("dead.mp3"), "MP3");
    qunsetenv("TUNORA_TEST_CHILD_EXIT_AFTER");
    ASSERT_GT(recorder->ProcessId(), 0);
    for (const auto& frame : frames) {
        recorder->WriteBlock(frame.data(), static_cast<std::int32_t>(frame.size()));
    }
    // The pipe closes a moment before the child can be waited for.
    EXPECT_TRUE(PollUntil([&] { return !recorder->ChildRunning(); }, 2000));
    QElapsedTimer timer;
    timer.start();
    recorder.reset();
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_TRUE(ReadFile(Path("dead.mp3")).isEmpty());

    // A program that cannot start: the file is made, every block is dropped at once.
    const QString never = Path("never.wav");
    {
        TRecorderRecode missing(radioOne, tables, settings, never, "WAV", "/nonexistent/tunora");
        EXPECT_LE(missing.ProcessId(), 0);
        missing.WriteBlock(frames[0].data(), static_cast<std::int32_t>(frames[0].size()));
    }
    EXPECT_TRUE(QFileInfo::exists(never));
    EXPECT_TRUE(ReadFile(never).isEmpty());

    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    EXPECT_EQ(sigismember(&pending, SIGPIPE), 0);
}

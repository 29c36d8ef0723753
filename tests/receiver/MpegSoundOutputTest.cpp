#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cstdlib>

#include "receiver/MpegSoundOutput.h"
#include "sim/AirFile.h"
#include "sim/FrameLoop.h"

namespace {

constexpr int kFrames = 100;  // 2.4 s at 48 kHz

std::shared_ptr<const FrameLoop> Music() {
    const Air air = AirFile::Parse(R"(
ensemble 218.640 eid=0xC1A1 label="Test"
service sid=0xC2A1 label="Music" pty=10
audio label="Music" bitrate=128 content=music rotate=60
)");
    return FrameLoop::Encode(air.ensembles.front().services.front().components.front());
}

}  // namespace

// With no sound server, Play says so as soon as the first frame is decoded, and the output then
// stays silent.
TEST(MpegSoundOutput, WithoutAServerPlaySaysSoAndStaysSilent) {
    const auto loop = Music();
    setenv("PULSE_SERVER", "unix:/nonexistent/tunora-test/native", 1);
    MpegSoundOutput output;
    int played = 0;
    for (int i = 0; i < 5 && output.Play(loop->Frame(i), std::size_t(loop->FrameLength())); ++i) {
        ++played;
    }
    EXPECT_LE(played, 2);
    EXPECT_FALSE(output.Play(loop->Frame(5), std::size_t(loop->FrameLength())));
}

// Frames played reach the sound server as exactly the samples the mpg123 player decodes them to,
// in order and without a gap (a private PulseAudio server with a null sink, read back from its
// monitor).
TEST(MpegSoundOutput, SamplesReachTheServerExactly) {
    QStringList tools;  // the dependency script installs them for CI
    for (const char* name : {"pulseaudio", "parec", "mpg123"}) {
        tools << QStandardPaths::findExecutable(QString::fromLatin1(name));
    }
    if (tools.contains(QString())) {
        EXPECT_NE(qgetenv("CI"), "true") << "pulseaudio, parec and mpg123 are not all installed";
        GTEST_SKIP();
    }
    const auto loop = Music();
    QTemporaryDir dir;
    const QString socket = dir.filePath(QStringLiteral("native"));
    QProcess server;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    server.setProcessEnvironment(env);
    server.start(tools[0],
                 {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                  "--log-target=stderr", "-L", "module-null-sink sink_name=out rate=48000", "-L",
                  "module-native-protocol-unix auth-anonymous=1 socket=" + socket});
    for (int i = 0; i < 100 && !QFile::exists(socket); ++i) {
        QThread::msleep(100);
    }
    ASSERT_TRUE(QFile::exists(socket)) << server.readAllStandardError().toStdString();
    const QString address = "unix:" + socket;
    QProcess recorder;
    const QString capture = dir.filePath(QStringLiteral("captured.raw"));
    recorder.start(tools[1], {"--server=" + address, "-d", "out.monitor", "--raw", "--format=s16le",
                              "--rate=48000", "--channels=2", "--latency-msec=20", capture});
    ASSERT_TRUE(recorder.waitForStarted());
    QThread::msleep(300);

    setenv("PULSE_SERVER", address.toLocal8Bit().constData(), 1);
    QByteArray mp2;
    {
        MpegSoundOutput output;
        for (int i = 0; i < kFrames; ++i) {
            ASSERT_TRUE(output.Play(loop->Frame(i), std::size_t(loop->FrameLength())));
            mp2.append(reinterpret_cast<const char*>(loop->Frame(i)), loop->FrameLength());
        }
        QThread::msleep(500);  // the server plays out its buffer before the stream closes
    }
    recorder.terminate();
    recorder.waitForFinished();
    server.terminate();
    server.waitForFinished();
    QFile captureFile(capture);
    ASSERT_TRUE(captureFile.open(QIODevice::ReadOnly));
    const QByteArray captured = captureFile.readAll();
    QFile file(dir.filePath(QStringLiteral("music.mp2")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(mp2) == mp2.size());
    file.close();
    QProcess decoder;
    decoder.start(tools[2], {"-q", "-s", file.fileName()});
    ASSERT_TRUE(decoder.waitForFinished());
    const QByteArray decoded = decoder.readAllStandardOutput();
    ASSERT_EQ(decoded.size(), qsizetype(kFrames) * 1152 * 4);

    // The capture holds silence, then the decoded samples from at most a few tens of ms in (the
    // sink wakes as the stream starts), then silence; the last 200 ms may still sit in the server
    // when the stream closes.
    qsizetype lead = 0;
    while (lead < captured.size() && captured[lead] == '\0') {
        ++lead;
    }
    lead &= ~qsizetype(3);
    const qsizetype skipped = decoded.indexOf(captured.mid(lead, 4800));
    ASSERT_GE(skipped, 0) << "the " << captured.size() << " bytes captured are not the sound";
    EXPECT_LE(skipped, 48000 / 10 * 4);
    const qsizetype compared = decoded.size() - skipped - 48000 / 5 * 4;
    EXPECT_EQ(captured.mid(lead, compared), decoded.mid(skipped, compared));
}

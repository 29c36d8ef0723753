#include "tests/support/Mpg123Reader.h"

#include <gtest/gtest.h>
#include <mpg123.h>

#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <cmath>
#include <mutex>

namespace {

mpg123_handle* NewHandle() {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    // Every rate as 16-bit samples, so nothing is refused or converted.
    mpg123_format_none(handle);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i) {
        mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    }
    return handle;
}

// Reads PCM until the input ends or the decoder fails; deletes the handle.
Mpg123Reading Drain(mpg123_handle* handle) {
    Mpg123Reading reading;
    std::vector<unsigned char> out(1 << 16);
    double sum = 0;
    long values = 0;
    for (;;) {
        std::size_t done = 0;
        const int result = mpg123_read(handle, out.data(), out.size(), &done);
        const auto* samples = reinterpret_cast<const std::int16_t*>(out.data());
        for (std::size_t i = 0; i < done / 2; ++i) {
            sum += static_cast<double>(samples[i]) * samples[i];
        }
        values += static_cast<long>(done / 2);
        if (result == MPG123_NEW_FORMAT) {
            int encoding = 0;
            mpg123_getformat(handle, &reading.rate, &reading.channels, &encoding);
            mpg123_frameinfo2 frame;
            if (mpg123_info2(handle, &frame) == MPG123_OK) {
                reading.layer = frame.layer;
                reading.version = frame.version;
                reading.mode = frame.mode;
                reading.bitrate = frame.bitrate;
            }
        } else if (result != MPG123_OK) {
            if (result != MPG123_NEED_MORE && result != MPG123_DONE) {
                reading.error = QString::fromLocal8Bit(mpg123_strerror(handle));
            }
            break;
        }
    }
    reading.frames = reading.channels > 0 ? values / reading.channels : 0;
    reading.rms = values > 0 ? std::sqrt(sum / static_cast<double>(values)) : 0;
    mpg123_delete(handle);
    return reading;
}

}  // namespace

Mpg123Reading ReadMpeg(const std::vector<std::uint8_t>& stream) {
    mpg123_handle* handle = NewHandle();
    mpg123_open_feed(handle);
    mpg123_feed(handle, stream.data(), stream.size());
    return Drain(handle);
}

Mpg123Reading ReadMpegFile(const QString& path) {
    mpg123_handle* handle = NewHandle();
    if (mpg123_open(handle, QFile::encodeName(path).constData()) != MPG123_OK) {
        Mpg123Reading none;
        none.error = QString::fromLocal8Bit(mpg123_strerror(handle));
        mpg123_delete(handle);
        return none;
    }
    return Drain(handle);
}

QString Mpg123Player() {
    const QString player = QStandardPaths::findExecutable(QStringLiteral("mpg123"));
    if (player.isEmpty() && qgetenv("CI") == "true") {
        ADD_FAILURE() << "the mpg123 player is not installed";
    }
    return player;
}

Mpg123Playback PlayWithMpg123(const QString& player, const QString& url, int frames,
                              int timeoutMs) {
    QProcess process;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    process.start(player, {QStringLiteral("-v"), QStringLiteral("-t"), QStringLiteral("-n"),
                           QString::number(frames), url});
    if (process.state() != QProcess::NotRunning) {
        loop.exec();
    }
    Mpg123Playback played;
    if (process.state() == QProcess::NotRunning && process.exitStatus() == QProcess::NormalExit &&
        process.error() != QProcess::FailedToStart) {
        played.exitCode = process.exitCode();
    } else {
        process.kill();
        process.waitForFinished();
    }
    played.report = QString::fromLocal8Bit(process.readAllStandardError());
    return played;
}

#include "CodecTestSupport.h"

#include <mpg123.h>

#include <QFile>
#include <cstring>

#include "recording/TMPEGDecoder.h"

std::vector<std::uint8_t> DecodeAll(const std::vector<std::uint8_t>& mpeg) {
    TMPEGDecoder decoder;
    std::vector<std::uint8_t> pcm;
    std::uint8_t out[8192];
    for (std::size_t at = 0; at < mpeg.size(); at += 256) {
        const int count = static_cast<int>(std::min<std::size_t>(256, mpeg.size() - at));
        for (int produced = decoder.Decode(mpeg.data() + at, count, out, sizeof out); produced > 0;
             produced = decoder.Decode(nullptr, 0, out, sizeof out)) {
            pcm.insert(pcm.end(), out, out + produced);
        }
    }
    return pcm;
}

std::vector<std::int16_t> Samples(const std::vector<std::uint8_t>& pcm) {
    std::vector<std::int16_t> samples(pcm.size() / 2);
    std::memcpy(samples.data(), pcm.data(), samples.size() * 2);
    return samples;
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::uint32_t FieldAt(const QByteArray& data, int offset, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<std::uint8_t>(data.at(offset + i));
    }
    return value;
}

std::uint32_t FieldAt(const std::vector<std::uint8_t>& data, int offset, int bytes) {
    return FieldAt(
        QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size())),
        offset, bytes);
}

QString CodecFolder() {
    return QStringLiteral(CODEC_BIN_DIR);
}

Mp3Info DecodeMp3(const QString& path) {
    Mp3Info info;
    mpg123_init();
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    if (mpg123_open(handle, QFile::encodeName(path).constData()) != MPG123_OK) {
        mpg123_delete(handle);
        return info;
    }
    int encoding = 0;
    mpg123_getformat(handle, &info.Rate, &info.Channels, &encoding);
    mpg123_frameinfo2 frame;
    if (mpg123_info2(handle, &frame) == MPG123_OK) {
        info.Layer = frame.layer;
        info.Version = frame.version;
        info.Mode = frame.mode;
        info.Bitrate = frame.bitrate;
    }
    unsigned char buffer[16384];
    size_t done = 0;
    long bytes = 0;
    int result;
    while ((result = mpg123_read(handle, buffer, sizeof buffer, &done)) == MPG123_OK ||
           result == MPG123_NEW_FORMAT) {
        bytes += static_cast<long>(done);
    }
    bytes += static_cast<long>(done);
    const int sampleBytes = encoding == MPG123_ENC_SIGNED_16 ? 2 : 4;
    info.Frames = info.Channels ? bytes / (info.Channels * sampleBytes) : 0;
    mpg123_close(handle);
    mpg123_delete(handle);
    return info;
}

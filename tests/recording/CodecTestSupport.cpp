#include "CodecTestSupport.h"

#include <vorbis/vorbisfile.h>

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

QString CodecFolder() {
    return QStringLiteral(CODEC_BIN_DIR);
}

OggReading ReadOggFile(const QString& path) {
    OggReading reading;
    OggVorbis_File file;
    if (ov_fopen(QFile::encodeName(path).constData(), &file) != 0) {
        return reading;
    }
    reading.opened = true;
    const vorbis_info* info = ov_info(&file, -1);
    reading.channels = info->channels;
    reading.rate = info->rate;
    reading.nominalBitrate = info->bitrate_nominal;
    reading.samples = ov_pcm_total(&file, -1);
    reading.averageBitrate = ov_bitrate(&file, -1);
    vorbis_comment* comments = ov_comment(&file, -1);
    for (auto [tag, text] :
         {std::pair{"TITLE", &reading.title}, std::pair{"DATE", &reading.date}}) {
        if (const char* value = vorbis_comment_query(comments, tag, 0)) {
            *text = QString::fromUtf8(value);
        }
    }
    ov_clear(&file);
    return reading;
}

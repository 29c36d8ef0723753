#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

// Decodes a whole MPEG stream as the recode child reads it (256-byte reads, 8192-byte output),
// taking what is left in the decoder after every read.
std::vector<std::uint8_t> DecodeAll(const std::vector<std::uint8_t>& mpeg);

// 16-bit samples of PCM bytes.
std::vector<std::int16_t> Samples(const std::vector<std::uint8_t>& pcm);

QByteArray ReadFile(const QString& path);
// Little-endian unsigned field of `bytes` bytes at `offset`.
std::uint32_t FieldAt(const QByteArray& data, int offset, int bytes = 4);

// The build's folder of the codec libraries.
QString CodecFolder();

// What libvorbisfile reads from an Ogg Vorbis file; `opened` is false when it is none.
struct OggReading {
    bool opened = false;
    int channels = 0;
    long rate = 0;
    long nominalBitrate = 0;  // bit/s
    long averageBitrate = 0;  // bit/s over the audio packets, headers left out
    long long samples = 0;    // per channel
    QString title;            // the TITLE and DATE comments; null when absent
    QString date;
};
OggReading ReadOggFile(const QString& path);

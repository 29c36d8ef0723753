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
std::uint32_t FieldAt(const std::vector<std::uint8_t>& data, int offset, int bytes = 4);

// The build's folder of the codec libraries.
QString CodecFolder();

// What libmpg123 reads from an MP3 file: its format and the PCM frames it decodes to.
struct Mp3Info {
    long Rate = 0;
    int Channels = 0;
    int Layer = 0;
    int Version = 0;  // MPG123_1_0, MPG123_2_0, ...
    int Mode = 0;     // MPG123_M_STEREO ... MPG123_M_MONO
    int Bitrate = 0;
    long Frames = 0;  // PCM frames decoded
};

Mp3Info DecodeMp3(const QString& path);

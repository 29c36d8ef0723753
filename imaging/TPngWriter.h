#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

// Encodes a picture as a PNG file (8-bit RGBA, no interlace) without a GUI library, so the core
// can write the pictures desktop launchers point to. A value type; any thread.
class TPngWriter {
public:
    // `argb`: width x height 0xAARRGGBB pixels, row-major (TIndexedBitmap::ToArgb gives them).
    // Empty when the sizes do not match the pixels.
    static QByteArray Encode(int width, int height, const std::vector<std::uint32_t>& argb);
    // The CRC-32 of ISO 3309 that PNG chunks carry.
    static std::uint32_t Crc32(const QByteArray& data);
};

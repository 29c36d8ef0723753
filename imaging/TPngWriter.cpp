#include "imaging/TPngWriter.h"

#include <array>

namespace {

void PutU32(QByteArray& out, std::uint32_t value) {
    out.append(static_cast<char>(value >> 24));
    out.append(static_cast<char>(value >> 16));
    out.append(static_cast<char>(value >> 8));
    out.append(static_cast<char>(value));
}

void PutChunk(QByteArray& out, const char* type, const QByteArray& data) {
    PutU32(out, static_cast<std::uint32_t>(data.size()));
    const QByteArray typed = QByteArray(type, 4) + data;
    out.append(typed);
    PutU32(out, TPngWriter::Crc32(typed));
}

}  // namespace

std::uint32_t TPngWriter::Crc32(const QByteArray& data) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char byte : data) {
        crc = table[(crc ^ static_cast<std::uint8_t>(byte)) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

QByteArray TPngWriter::Encode(int width, int height, const std::vector<std::uint32_t>& argb) {
    if (width <= 0 || height <= 0 ||
        argb.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        return {};
    }
    QByteArray header;
    PutU32(header, static_cast<std::uint32_t>(width));
    PutU32(header, static_cast<std::uint32_t>(height));
    // Bit depth 8, colour type 6 (RGBA), deflate, adaptive filtering, no interlace.
    header.append("\x08\x06\x00\x00\x00", 5);

    QByteArray rows;
    rows.reserve(height * (1 + 4 * width));
    for (int y = 0; y < height; ++y) {
        rows.append('\0');  // filter type None
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = argb[static_cast<std::size_t>(y) * width + x];
            rows.append(static_cast<char>(p >> 16));
            rows.append(static_cast<char>(p >> 8));
            rows.append(static_cast<char>(p));
            rows.append(static_cast<char>(p >> 24));
        }
    }
    // qCompress gives a zlib stream behind a 4-byte length of its own, which PNG does not want.
    const QByteArray compressed = qCompress(rows, 9).mid(4);

    QByteArray out("\x89PNG\r\n\x1a\n", 8);
    PutChunk(out, "IHDR", header);
    PutChunk(out, "IDAT", compressed);
    PutChunk(out, "IEND", {});
    return out;
}

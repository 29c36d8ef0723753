#include "tests/windows/IconFileReader.h"

namespace {

std::uint32_t U16(const QByteArray& b, qsizetype at) {
    return static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8;
}

std::uint32_t U32(const QByteArray& b, qsizetype at) {
    return U16(b, at) | U16(b, at + 2) << 16;
}

std::uint32_t Rgb(const QByteArray& b, qsizetype at) {  // stored blue, green, red
    return static_cast<std::uint8_t>(b[at + 2]) << 16 | static_cast<std::uint8_t>(b[at + 1]) << 8 |
           static_cast<std::uint8_t>(b[at]);
}

int Bit(const QByteArray& b, qsizetype rowStart, int x, int bits) {
    const auto byte = static_cast<std::uint8_t>(b[rowStart + x * bits / 8]);
    const int shift = 8 - bits - (x * bits) % 8;
    return (byte >> shift) & ((1 << bits) - 1);
}

}  // namespace

IconFile ReadIconFile(const QByteArray& bytes) {
    IconFile file;
    if (bytes.size() < 6) {
        return file;
    }
    const int count = static_cast<int>(U16(bytes, 4));
    if (bytes.size() < 6 + 16 * count) {
        return file;
    }
    for (int i = 0; i < count; ++i) {
        const qsizetype d = 6 + 16 * i;
        IconImage image;
        image.paletteColours = static_cast<std::uint8_t>(bytes[d + 2]);
        image.size = U32(bytes, d + 8);
        image.offset = U32(bytes, d + 12);
        if (image.offset + image.size > static_cast<std::uint32_t>(bytes.size())) {
            return file;
        }
        const qsizetype h = image.offset;
        image.headerSize = U32(bytes, h);
        image.headerWidth = static_cast<std::int32_t>(U32(bytes, h + 4));
        image.headerHeight = static_cast<std::int32_t>(U32(bytes, h + 8));
        image.planes = static_cast<int>(U16(bytes, h + 12));
        image.bitCount = static_cast<int>(U16(bytes, h + 14));
        image.imageSize = U32(bytes, h + 20);
        image.coloursUsed = U32(bytes, h + 32);
        image.coloursImportant = U32(bytes, h + 36);
        const int w = image.headerWidth;
        const int rows = image.headerHeight / 2;
        const int paletteSize = image.bitCount <= 8 ? 1 << image.bitCount : 0;
        qsizetype at = h + image.headerSize;
        for (int c = 0; c < paletteSize; ++c, at += 4) {
            image.palette.push_back(Rgb(bytes, at));
        }
        const int colourRow = (w * image.bitCount + 31) / 32 * 4;
        const int maskRow = (w + 31) / 32 * 4;
        const qsizetype maskStart = at + static_cast<qsizetype>(colourRow) * rows;
        if (maskStart + static_cast<qsizetype>(maskRow) * rows > h + image.size) {
            return file;
        }
        for (int y = 0; y < rows; ++y) {
            const qsizetype row = at + static_cast<qsizetype>(rows - 1 - y) * colourRow;
            const qsizetype mrow = maskStart + static_cast<qsizetype>(rows - 1 - y) * maskRow;
            for (int x = 0; x < w; ++x) {
                image.pixels.push_back(image.bitCount <= 8
                                           ? image.palette[Bit(bytes, row, x, image.bitCount)]
                                           : Rgb(bytes, row + x * image.bitCount / 8));
                image.mask.push_back(static_cast<std::uint8_t>(Bit(bytes, mrow, x, 1)));
            }
        }
        file.images.push_back(std::move(image));
    }
    file.valid = true;
    return file;
}

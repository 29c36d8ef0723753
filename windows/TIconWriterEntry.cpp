#include "windows/TIconWriterEntry.h"

#include <QtEndian>
#include <array>
#include <limits>

namespace {

// The palette a 16-colour DIB of a screen bitmap gets: the standard VGA colours.
constexpr std::array<TRgb, 16> kVgaPalette{{
    {0, 0, 0},
    {128, 0, 0},
    {0, 128, 0},
    {128, 128, 0},
    {0, 0, 128},
    {128, 0, 128},
    {0, 128, 128},
    {192, 192, 192},
    {128, 128, 128},
    {255, 0, 0},
    {0, 255, 0},
    {255, 255, 0},
    {0, 0, 255},
    {255, 0, 255},
    {0, 255, 255},
    {255, 255, 255},
}};

int Luminance(const TRgb& c) {
    return (299 * c.R + 587 * c.G + 114 * c.B + 500) / 1000;
}

int Nearest(const TRgb& c, const std::array<TRgb, 16>& palette) {
    int best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (int i = 0; i < static_cast<int>(palette.size()); ++i) {
        const int dr = c.R - palette[i].R;
        const int dg = c.G - palette[i].G;
        const int db = c.B - palette[i].B;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

// Extracts `bitmap` as a DIB of `bits` bits per pixel with `colourCount` (raised) colours.
// 1 bit: black and white by luminance (a two-colour bitmap of black and white keeps its indices);
// 4 bits: the VGA colours, nearest; 8 bits: the bitmap's own palette, filled up to 256 with
// black; 32 bits: blue, green, red, 0 per pixel and no palette.
void ExtractDib(const TIndexedBitmap& bitmap, int colourCount, QByteArray& info,
                QByteArray& pixels) {
    const int bits = TIconWriterEntry::BitsPerPixel(colourCount);
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    const int rowBytes = TIconWriterEntry::RowBytes(width, bits);

    std::vector<TRgb> palette;
    std::vector<std::uint8_t> indexOf(256, 0);
    if (bits == 1) {
        palette = {TRgb{0, 0, 0}, TRgb{255, 255, 255}};
        for (int i = 0; i < 256; ++i) {
            indexOf[i] = Luminance(bitmap.Colour(static_cast<std::uint8_t>(i))) >= 128 ? 1 : 0;
        }
    } else if (bits == 4) {
        palette.assign(kVgaPalette.begin(), kVgaPalette.end());
        for (int i = 0; i < 256; ++i) {
            indexOf[i] = static_cast<std::uint8_t>(
                Nearest(bitmap.Colour(static_cast<std::uint8_t>(i)), kVgaPalette));
        }
    } else if (bits == 8) {
        palette.resize(256);
        for (int i = 0; i < 256; ++i) {
            palette[i] = bitmap.Colour(static_cast<std::uint8_t>(i));
            indexOf[i] = static_cast<std::uint8_t>(i);
        }
    }

    info.clear();
    TIconWriterEntry::PutU32(info, TIconWriterEntry::kInfoHeaderSize);
    TIconWriterEntry::PutU32(info, static_cast<std::uint32_t>(width));
    TIconWriterEntry::PutU32(info, static_cast<std::uint32_t>(height));
    TIconWriterEntry::PutU16(info, 1);  // planes
    TIconWriterEntry::PutU16(info, static_cast<std::uint16_t>(bits));
    TIconWriterEntry::PutU32(info, 0);  // uncompressed
    TIconWriterEntry::PutU32(info, static_cast<std::uint32_t>(rowBytes * height));
    TIconWriterEntry::PutU32(info, 0);  // pixels per metre, x and y
    TIconWriterEntry::PutU32(info, 0);
    const bool paletted = colourCount >= 3 && colourCount <= 256;
    TIconWriterEntry::PutU32(
        info, paletted ? static_cast<std::uint32_t>(colourCount) : 0);  // colours used
    TIconWriterEntry::PutU32(info, 0);                                  // all important
    for (const TRgb& c : palette) {
        info.append(static_cast<char>(c.B));
        info.append(static_cast<char>(c.G));
        info.append(static_cast<char>(c.R));
        info.append('\0');
    }

    pixels = QByteArray(static_cast<qsizetype>(rowBytes) * height, '\0');
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint8_t*>(pixels.data()) +
                    static_cast<qsizetype>(height - 1 - y) * rowBytes;
        const std::uint8_t* source = bitmap.Row(y);
        for (int x = 0; x < width; ++x) {
            const std::uint8_t index = indexOf[source[x]];
            switch (bits) {
                case 1:
                    row[x / 8] |= static_cast<std::uint8_t>(index << (7 - x % 8));
                    break;
                case 4:
                    row[x / 2] |= static_cast<std::uint8_t>(x % 2 == 0 ? index << 4 : index);
                    break;
                case 8:
                    row[x] = index;
                    break;
                default: {
                    const TRgb c = bitmap.Colour(source[x]);
                    row[4 * x] = c.B;
                    row[4 * x + 1] = c.G;
                    row[4 * x + 2] = c.R;
                    break;
                }
            }
        }
    }
}

}  // namespace

int TIconWriterEntry::RaiseColourCount(int count) {
    if (count < 3) {
        return 2;
    }
    if (count < 17) {
        return 16;
    }
    if (count < 257) {
        return 256;
    }
    if (count < 65537) {
        return 65536;
    }
    return 16777216;
}

int TIconWriterEntry::BitsPerPixel(int raisedColourCount) {
    switch (raisedColourCount) {
        case 2:
            return 1;
        case 16:
            return 4;
        case 256:
            return 8;
        default:
            return 32;
    }
}

int TIconWriterEntry::RowBytes(int width, int bitsPerPixel) {
    return (width * bitsPerPixel + 31) / 32 * 4;
}

TIconWriterEntry::TIconWriterEntry(const TIcon& icon, int colourCount)
    : isIcon_(icon.IsIcon),
      hotSpotX_(icon.HotSpotX),
      hotSpotY_(icon.HotSpotY),
      mask_(icon.Mask),
      colour_(icon.Colour),
      colourCount_(RaiseColourCount(colourCount)) {
    ExtractDib(mask_, 2, maskInfo_, maskBits_);
    ExtractDib(colour_, colourCount_, colourInfo_, colourBits_);
}

void TIconWriterEntry::PutU16(QByteArray& out, std::uint16_t value) {
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void TIconWriterEntry::PutU32(QByteArray& out, std::uint32_t value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

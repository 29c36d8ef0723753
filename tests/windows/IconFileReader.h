#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

// Reads an icon file by the published .ico layout, independently of the writer: the directory,
// and each image's header, palette, colour and mask rows turned back into top-down pixels.
struct IconImage {
    int paletteColours = 0;  // directory byte 2
    std::uint32_t size = 0;
    std::uint32_t offset = 0;
    // From the image's own header.
    std::uint32_t headerSize = 0;
    std::int32_t headerWidth = 0;
    std::int32_t headerHeight = 0;
    int planes = 0;
    int bitCount = 0;
    std::uint32_t imageSize = 0;
    std::uint32_t coloursUsed = 0;
    std::uint32_t coloursImportant = 0;
    // Palette as 0xRRGGBB, and each pixel as 0xRRGGBB (top row first); mask 1 = transparent.
    std::vector<std::uint32_t> palette;
    std::vector<std::uint32_t> pixels;
    std::vector<std::uint8_t> mask;
};

struct IconFile {
    bool valid = false;
    std::vector<IconImage> images;
};

IconFile ReadIconFile(const QByteArray& bytes);

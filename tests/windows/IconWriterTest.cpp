#include <gtest/gtest.h>

#include <QBuffer>
#include <tuple>

#include "tests/windows/IconFileReader.h"
#include "windows/TIconWriter.h"
#include "windows/TServicePictures.h"

namespace {

std::uint32_t Packed(const TRgb& c) {
    return static_cast<std::uint32_t>(c.R) << 16 | static_cast<std::uint32_t>(c.G) << 8 | c.B;
}

// A size x size picture over a palette of `colours` distinct colours, index (x * 3 + y * 5) %
// colours, with the pixels on the diagonal and the top-right corner transparent (index 0).
TIndexedBitmap Pattern(int width, int height, int colours) {
    std::vector<TRgb> palette;
    for (int i = 0; i < colours; ++i) {
        palette.push_back({static_cast<std::uint8_t>(i * 37 % 256),
                           static_cast<std::uint8_t>(255 - i * 11 % 256),
                           static_cast<std::uint8_t>(i * 5 % 256)});
    }
    TIndexedBitmap bitmap(width, height, palette, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool hole = x == y || (x == width - 1 && y == 0);
            bitmap.SetPixel(
                x, y, hole ? 0 : static_cast<std::uint8_t>(1 + (x * 3 + y * 5) % (colours - 1)));
        }
    }
    return bitmap;
}

// Palette size in the directory, bits per pixel and colours used in the image's header.
std::tuple<int, int, std::uint32_t> Depth(const IconImage& image) {
    return {image.paletteColours, image.bitCount, image.coloursUsed};
}

// Checks one read image against the picture it was made from: transparent pixels are black with
// mask 1, every other pixel has its colour and mask 0.
void ExpectSamePicture(const IconImage& image, const TIndexedBitmap& picture) {
    ASSERT_EQ(image.pixels.size(), static_cast<std::size_t>(picture.Width() * picture.Height()));
    for (int y = 0; y < picture.Height(); ++y) {
        for (int x = 0; x < picture.Width(); ++x) {
            const std::size_t i = static_cast<std::size_t>(y * picture.Width() + x);
            if (picture.IsTransparent(x, y)) {
                EXPECT_EQ(image.mask[i], 1) << x << "," << y;
                EXPECT_EQ(image.pixels[i], 0u) << x << "," << y;
            } else {
                EXPECT_EQ(image.mask[i], 0) << x << "," << y;
                EXPECT_EQ(image.pixels[i], Packed(picture.Colour(picture.Pixel(x, y))))
                    << x << "," << y;
            }
        }
    }
}

}  // namespace

// Two 8-bit images of 16 and 32 pixels make the 3638-byte file: header, directory with sizes
// 1384 and 2216 at offsets 38 and 1422, headers with doubled heights, and pixels and masks that
// read back as the pictures.
TEST(IconWriter, TwoEightBitImagesLaidOutAsIcoFile) {
    const TIndexedBitmap small = Pattern(16, 16, 200);
    const TIndexedBitmap large = Pattern(32, 32, 256);
    TIconWriter writer;
    writer.Add(TServicePictures::MakeIcon(small), 256);
    writer.Add(TServicePictures::MakeIcon(large), 256);

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(writer.SaveToStream(buffer));
    const QByteArray bytes = buffer.data();
    ASSERT_EQ(bytes.size(), 3638);
    EXPECT_EQ(bytes.left(6), QByteArray("\0\0\1\0\2\0", 6));
    // Directory entries: width, height, colours 0, reserved, planes 0, bit count 0, size, offset.
    EXPECT_EQ(bytes.mid(6, 16), QByteArray("\x10\x10\0\0\0\0\0\0\x68\x05\0\0\x26\0\0\0", 16));
    EXPECT_EQ(bytes.mid(22, 16), QByteArray("\x20\x20\0\0\0\0\0\0\xA8\x08\0\0\x8E\x05\0\0", 16));

    const IconFile file = ReadIconFile(bytes);
    ASSERT_TRUE(file.valid);
    ASSERT_EQ(file.images.size(), 2u);
    const TIndexedBitmap* pictures[] = {&small, &large};
    for (int i = 0; i < 2; ++i) {
        const IconImage& image = file.images[i];
        const int side = pictures[i]->Width();
        SCOPED_TRACE(side);
        EXPECT_EQ(std::tuple(image.headerSize, image.headerWidth, image.headerHeight, image.planes),
                  std::tuple(40u, side, 2 * side, 1));
        EXPECT_EQ(image.imageSize, static_cast<std::uint32_t>(side * side));
        EXPECT_EQ(Depth(image), std::tuple(0, 8, 256u));
        EXPECT_LE(image.coloursImportant, image.coloursUsed);
        ExpectSamePicture(image, *pictures[i]);
    }
    // The 200-colour palette is filled up to 256 entries with black.
    EXPECT_EQ(file.images[0].palette[199], Packed(small.Colour(199)));
    EXPECT_EQ(file.images[0].palette[255], 0u);
}

// Narrow images at 2 and 16 colours pad every row to four bytes, give the palette size in the
// directory, and keep the colours that the small palettes hold exactly.
TEST(IconWriter, SmallDepthsPadRowsAndNameTheirColours) {
    const std::vector<TRgb> colours = {{0, 0, 0}, {255, 255, 255}, {255, 0, 0}, {0, 0, 255}};
    TIndexedBitmap picture(5, 3, colours, 0);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            picture.SetPixel(x, y, static_cast<std::uint8_t>((x + y) % 4));
        }
    }
    TIconWriter writer;
    writer.Add(TServicePictures::MakeIcon(picture), 2);
    writer.Add(TServicePictures::MakeIcon(picture), 9);
    // Header and directory, then per image: info block (40 + palette), colour rows, mask rows.
    const QByteArray bytes = writer.Bytes();
    EXPECT_EQ(bytes.size(), 6 + 32 + (48 + 12 + 12) + (104 + 12 + 12));
    const IconFile file = ReadIconFile(bytes);
    ASSERT_TRUE(file.valid);
    ASSERT_EQ(file.images.size(), 2u);
    EXPECT_EQ(Depth(file.images[0]), std::tuple(2, 1, 0u));
    EXPECT_EQ(Depth(file.images[1]), std::tuple(16, 4, 16u));
    EXPECT_EQ(file.images[1].offset, 6u + 32 + 72);
    // Red and blue are VGA colours, so 16 colours keep the picture exactly.
    ExpectSamePicture(file.images[1], picture);
    // At 2 colours white stays white and the rest turns black.
    for (std::size_t i = 0; i < file.images[0].pixels.size(); ++i) {
        const int x = static_cast<int>(i % 5);
        const int y = static_cast<int>(i / 5);
        EXPECT_EQ(file.images[0].pixels[i], picture.Pixel(x, y) == 1 ? 0xFFFFFFu : 0u) << i;
    }
}

// Without images nothing is written; above 256 colours the pixels are 32-bit without palette.
TEST(IconWriter, EmptyWriterWritesNothingAndTrueColourHasNoPalette) {
    TIconWriter empty;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(empty.SaveToStream(buffer));
    EXPECT_TRUE(buffer.data().isEmpty());

    const TIndexedBitmap picture = Pattern(3, 2, 8);
    TIconWriter writer;
    writer.Add(TServicePictures::MakeIcon(picture), 70000);
    const IconFile file = ReadIconFile(writer.Bytes());
    ASSERT_TRUE(file.valid);
    ASSERT_EQ(file.images.size(), 1u);
    EXPECT_EQ(Depth(file.images[0]), std::tuple(0, 32, 0u));
    EXPECT_EQ(file.images[0].size, 40u + 3 * 4 * 2 + 4 * 2);
    ExpectSamePicture(file.images[0], picture);
}

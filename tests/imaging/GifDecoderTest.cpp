#include <gtest/gtest.h>

#include <QByteArray>
#include <random>

#include "imaging/TGifDecoder.h"
#include "tests/imaging/TestGifWriter.h"

namespace {

const std::vector<TRgb> kFour = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};

// A frame whose pixel at (x, y) is (x + y) % 4.
TestGifFrame Diagonal(int width, int height) {
    TestGifFrame frame;
    frame.width = width;
    frame.height = height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            frame.pixels.push_back(static_cast<std::uint8_t>((x + y) % 4));
    }
    return frame;
}

TIndexedBitmap DecodeOk(const QByteArray& data) {
    QString error;
    std::optional<TIndexedBitmap> bitmap = TGifDecoder::Decode(data, &error);
    EXPECT_TRUE(bitmap.has_value()) << error.toStdString();
    return bitmap.value_or(TIndexedBitmap());
}

}  // namespace

// A plain image gives its size, the global palette padded as stored, every pixel and no
// transparent index.
TEST(GifDecoder, PlainImage) {
    TestGif gif{5, 3, 0, kFour, {Diagonal(5, 3)}};
    TIndexedBitmap bitmap = DecodeOk(WriteTestGif(gif));
    ASSERT_EQ(bitmap.Width(), 5);
    ASSERT_EQ(bitmap.Height(), 3);
    EXPECT_EQ(bitmap.Palette(), kFour);
    EXPECT_EQ(bitmap.TransparentIndex(), -1);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(bitmap.Pixel(x, y), (x + y) % 4) << x << "," << y;
    }
}

// The graphics control extension's transparent index is reported, and a local colour table
// takes precedence over the global one.
TEST(GifDecoder, TransparencyAndLocalPalette) {
    TestGifFrame frame = Diagonal(4, 4);
    frame.transparent = 2;
    frame.localColours = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
    TIndexedBitmap bitmap = DecodeOk(WriteTestGif(TestGif{4, 4, 0, kFour, {frame}}));
    EXPECT_EQ(bitmap.TransparentIndex(), 2);
    EXPECT_EQ(bitmap.Palette(), frame.localColours);
    EXPECT_TRUE(bitmap.IsTransparent(2, 0));
    EXPECT_FALSE(bitmap.IsTransparent(0, 0));

    // Without any colour table the palette is empty and every index reads black. giflib's
    // encoder insists on a table, so the global one is cut out of the file afterwards.
    QByteArray withTable = WriteTestGif(TestGif{4, 4, 0, kFour, {Diagonal(4, 4)}});
    const auto flags = static_cast<std::uint8_t>(withTable[10]);
    ASSERT_TRUE(flags & 0x80);
    const int tableBytes = 3 << ((flags & 7) + 1);
    QByteArray withoutTable = withTable.left(13) + withTable.mid(13 + tableBytes);
    withoutTable[10] = static_cast<char>(flags & 0x7F);
    TIndexedBitmap bare = DecodeOk(withoutTable);
    EXPECT_TRUE(bare.Palette().empty());
    EXPECT_EQ(bare.ToArgb()[1], 0xFF000000u);
}

// Interlaced rows come back in picture order, across all four passes and heights that end in
// the middle of a pass.
TEST(GifDecoder, InterlacedRowsInPictureOrder) {
    for (int height : {1, 2, 5, 9, 17}) {
        TestGifFrame frame;
        frame.width = 3;
        frame.height = height;
        frame.interlace = true;
        for (int y = 0; y < height; ++y)
            frame.pixels.insert(frame.pixels.end(), 3, static_cast<std::uint8_t>(y));
        std::vector<TRgb> grey(32);
        TIndexedBitmap bitmap = DecodeOk(WriteTestGif(TestGif{3, height, 0, grey, {frame}}));
        ASSERT_EQ(bitmap.Height(), height);
        for (int y = 0; y < height; ++y)
            EXPECT_EQ(bitmap.Pixel(1, y), y) << "height " << height;
    }
}

// An image smaller than the logical screen sits at its offset; the rest of the screen is the
// transparent index when there is one, else the background index.
TEST(GifDecoder, OffsetImageOnLargerScreen) {
    TestGifFrame frame = Diagonal(2, 2);
    frame.left = 3;
    frame.top = 1;
    frame.transparent = 3;
    TIndexedBitmap clear = DecodeOk(WriteTestGif(TestGif{6, 4, 1, kFour, {frame}}));
    ASSERT_EQ(clear.Width(), 6);
    ASSERT_EQ(clear.Height(), 4);
    EXPECT_EQ(clear.Pixel(0, 0), 3);
    EXPECT_EQ(clear.Pixel(5, 3), 3);
    EXPECT_EQ(clear.Pixel(3, 1), 0);
    EXPECT_EQ(clear.Pixel(4, 1), 1);
    EXPECT_EQ(clear.Pixel(4, 2), 2);

    frame.transparent = -1;
    TIndexedBitmap solid = DecodeOk(WriteTestGif(TestGif{6, 4, 1, kFour, {frame}}));
    EXPECT_EQ(solid.TransparentIndex(), -1);
    EXPECT_EQ(solid.Pixel(0, 0), 1);
    EXPECT_EQ(solid.Pixel(2, 1), 1);
    EXPECT_EQ(solid.Pixel(3, 1), 0);

    // An image reaching beyond the screen grows the bitmap instead of being cut.
    TestGifFrame wide = Diagonal(4, 2);
    wide.left = 1;
    TIndexedBitmap grown = DecodeOk(WriteTestGif(TestGif{3, 1, 0, kFour, {wide}}));
    EXPECT_EQ(grown.Width(), 5);
    EXPECT_EQ(grown.Height(), 2);
    EXPECT_EQ(grown.Pixel(4, 1), (3 + 1) % 4);
}

// Only the first image counts; later images and their extensions are not read.
TEST(GifDecoder, FirstImageOnly) {
    TestGifFrame first = Diagonal(2, 2);
    TestGifFrame second = Diagonal(2, 2);
    second.pixels.assign(4, 3);
    second.transparent = 3;
    TIndexedBitmap bitmap = DecodeOk(WriteTestGif(TestGif{2, 2, 0, kFour, {first, second}}));
    EXPECT_EQ(bitmap.TransparentIndex(), -1);
    EXPECT_EQ(bitmap.Pixel(1, 0), 1);
}

// Input that is not a GIF, has no image or is absurdly large gives a reason, not a bitmap.
TEST(GifDecoder, RejectsGarbage) {
    std::mt19937 random(7);
    QByteArray noise(512, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    QByteArray header = QByteArray("GIF89a") + noise;
    // Header and screen descriptor followed directly by the trailer.
    QByteArray empty = QByteArray::fromHex(
        "474946383961"
        "0200"
        "0200"
        "00"
        "00"
        "00"
        "3b");
    TestGif huge{65535, 65535, 0, kFour, {Diagonal(1, 1)}};
    for (const QByteArray& data :
         {QByteArray(), QByteArray("GIF"), noise, header, empty, WriteTestGif(huge)}) {
        QString error;
        EXPECT_FALSE(TGifDecoder::Decode(data, &error).has_value());
        EXPECT_FALSE(error.isEmpty());
    }
    QString error;
    TGifDecoder::Decode(empty, &error);
    EXPECT_EQ(error, "GIF data holds no image");
}

// Every cut-short copy of a valid file is refused without a crash, except one lacking only
// the trailer byte, whose image is complete.
TEST(GifDecoder, TruncatedDataNeverDecodes) {
    TestGifFrame frame = Diagonal(20, 13);
    frame.interlace = true;
    frame.transparent = 1;
    const QByteArray full = WriteTestGif(TestGif{24, 16, 0, kFour, {frame}});
    const TIndexedBitmap expected = DecodeOk(full);
    for (qsizetype n = 0; n < full.size() - 1; ++n) {
        QString error;
        EXPECT_FALSE(TGifDecoder::Decode(full.left(n), &error).has_value()) << "length " << n;
        EXPECT_FALSE(error.isEmpty());
    }
    TIndexedBitmap almost = DecodeOk(full.left(full.size() - 1));
    EXPECT_EQ(almost.Pixels(), expected.Pixels());

    // Flipping single bytes inside the image data must not crash either.
    for (qsizetype i = 13; i < full.size(); ++i) {
        QByteArray damaged = full;
        damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
        QString error;
        std::optional<TIndexedBitmap> bitmap = TGifDecoder::Decode(damaged, &error);
        if (bitmap) {
            EXPECT_EQ(bitmap->Pixels().size(), std::size_t(bitmap->Width()) * bitmap->Height());
        } else {
            EXPECT_FALSE(error.isEmpty());
        }
    }
}

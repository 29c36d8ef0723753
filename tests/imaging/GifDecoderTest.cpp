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

// A plain image gives its size, the global palette, every pixel and no transparent index; the
// first image's transparent index and local colour table win, and later images are not read.
TEST(GifDecoder, PixelsPaletteAndTransparencyOfTheFirstImage) {
    TIndexedBitmap plain = DecodeOk(WriteTestGif(TestGif{5, 3, 0, kFour, {Diagonal(5, 3)}}));
    ASSERT_EQ(plain.Width(), 5);
    ASSERT_EQ(plain.Height(), 3);
    EXPECT_EQ(plain.Palette(), kFour);
    EXPECT_EQ(plain.TransparentIndex(), -1);
    EXPECT_EQ(plain.Pixels(), Diagonal(5, 3).pixels);

    TestGifFrame first = Diagonal(2, 2);
    first.transparent = 2;
    first.localColours = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
    TestGifFrame second = Diagonal(2, 2);
    second.pixels.assign(4, 3);
    second.transparent = 3;
    TIndexedBitmap local = DecodeOk(WriteTestGif(TestGif{2, 2, 0, kFour, {first, second}}));
    EXPECT_EQ(local.TransparentIndex(), 2);
    EXPECT_EQ(local.Palette(), first.localColours);
    EXPECT_EQ(local.Pixels(), first.pixels);

    // Without any colour table the palette is empty (how an index beyond it reads is the
    // bitmap's ARGB test). giflib's encoder insists on a table, so the global one is cut out of
    // the file afterwards.
    QByteArray withTable = WriteTestGif(TestGif{4, 4, 0, kFour, {Diagonal(4, 4)}});
    const auto flags = static_cast<std::uint8_t>(withTable[10]);
    QByteArray withoutTable = withTable.left(13) + withTable.mid(13 + (3 << ((flags & 7) + 1)));
    withoutTable[10] = static_cast<char>(flags & 0x7F);
    EXPECT_TRUE(DecodeOk(withoutTable).Palette().empty());
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
        EXPECT_EQ(bitmap.Pixels(), frame.pixels) << "height " << height;
    }
}

// An image smaller than the logical screen sits at its offset; the rest of the screen is the
// transparent index when there is one, else the background index; an image reaching beyond the
// screen grows the bitmap.
TEST(GifDecoder, OffsetImageOnTheScreen) {
    TestGifFrame frame = Diagonal(2, 2);
    frame.left = 3;
    frame.top = 1;
    struct Case {
        int transparent, surround;
    };
    for (const Case c : {Case{3, 3}, Case{-1, 1}}) {
        frame.transparent = c.transparent;
        TIndexedBitmap bitmap = DecodeOk(WriteTestGif(TestGif{6, 4, 1, kFour, {frame}}));
        ASSERT_EQ(bitmap.Width(), 6);
        ASSERT_EQ(bitmap.Height(), 4);
        EXPECT_EQ(bitmap.Pixel(0, 0), c.surround);
        EXPECT_EQ(bitmap.Pixel(5, 3), c.surround);
        EXPECT_EQ(bitmap.Pixel(3, 1), 0);
        EXPECT_EQ(bitmap.Pixel(4, 2), 2);
    }

    TestGifFrame wide = Diagonal(4, 2);
    wide.left = 1;
    TIndexedBitmap grown = DecodeOk(WriteTestGif(TestGif{3, 1, 0, kFour, {wide}}));
    EXPECT_EQ(grown.Width(), 5);
    EXPECT_EQ(grown.Height(), 2);
    EXPECT_EQ(grown.Pixel(4, 1), (3 + 1) % 4);
}

// Noise, a file without an image, an absurd size and every cut-short copy of a valid file give
// a reason, not a bitmap (except one lacking only the trailer); damaged bytes never crash.
TEST(GifDecoder, RefusesBadDataWithAReason) {
    std::mt19937 random(7);
    QByteArray noise(512, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    const QByteArray empty = QByteArray::fromHex("474946383961020002000000003b");
    const QByteArray huge = WriteTestGif(TestGif{65535, 65535, 0, kFour, {Diagonal(1, 1)}});
    TestGifFrame frame = Diagonal(20, 13);
    frame.interlace = true;
    frame.transparent = 1;
    const QByteArray full = WriteTestGif(TestGif{24, 16, 0, kFour, {frame}});
    std::vector<QByteArray> bad = {noise, QByteArray("GIF89a") + noise, empty, huge};
    for (qsizetype n = 0; n < full.size() - 1; ++n)
        bad.push_back(full.left(n));
    for (const QByteArray& data : bad) {
        QString error;
        EXPECT_FALSE(TGifDecoder::Decode(data, &error).has_value()) << data.size();
        EXPECT_FALSE(error.isEmpty());
    }
    QString error;
    TGifDecoder::Decode(empty, &error);
    EXPECT_EQ(error, "GIF data holds no image");
    EXPECT_EQ(DecodeOk(full.left(full.size() - 1)).Pixels(), DecodeOk(full).Pixels());

    for (qsizetype i = 13; i < full.size(); ++i) {
        QByteArray damaged = full;
        damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
        if (std::optional<TIndexedBitmap> bitmap = TGifDecoder::Decode(damaged)) {
            EXPECT_EQ(bitmap->Pixels().size(), std::size_t(bitmap->Width()) * bitmap->Height());
        }
    }
}

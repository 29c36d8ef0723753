#include <gtest/gtest.h>

#include "imaging/TIndexedBitmap.h"

namespace {

const std::vector<TRgb> kPalette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};

// 2 x 2: 0 1 / 2 3, index 3 transparent.
TIndexedBitmap Quad() {
    TIndexedBitmap bitmap(2, 2, kPalette, 3);
    bitmap.SetPixel(1, 0, 1);
    bitmap.SetPixel(0, 1, 2);
    bitmap.SetPixel(1, 1, 3);
    return bitmap;
}

std::vector<std::uint8_t> Rows(std::initializer_list<std::uint8_t> values) {
    return values;
}

}  // namespace

// Enlarging repeats each pixel as a block and keeps the palette and the transparent index.
TEST(IndexedBitmap, ScaleUpRepeatsPixels) {
    TIndexedBitmap big = Quad().Scaled(4, 4);
    ASSERT_EQ(big.Width(), 4);
    ASSERT_EQ(big.Height(), 4);
    EXPECT_EQ(big.Pixels(), Rows({0, 0, 1, 1,  //
                                  0, 0, 1, 1,  //
                                  2, 2, 3, 3,  //
                                  2, 2, 3, 3}));
    EXPECT_EQ(big.Palette(), kPalette);
    EXPECT_EQ(big.TransparentIndex(), 3);

    // Uneven factors: 2 -> 3 columns, 2 -> 1 row (the row under the centre).
    EXPECT_EQ(Quad().Scaled(3, 1).Pixels(), Rows({2, 3, 3}));
}

// Shrinking samples the source pixel under each target pixel's centre; a zero or negative
// size gives an empty bitmap.
TEST(IndexedBitmap, ScaleDownSamplesCentres) {
    TIndexedBitmap source(4, 4, kPalette);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x)
            source.SetPixel(x, y, static_cast<std::uint8_t>(y * 4 + x));
    }
    EXPECT_EQ(source.Scaled(2, 2).Pixels(), Rows({5, 7, 13, 15}));
    EXPECT_EQ(source.Scaled(1, 4).Pixels(), Rows({2, 6, 10, 14}));
    EXPECT_TRUE(source.Scaled(0, 4).IsEmpty());
    EXPECT_TRUE(source.Scaled(3, -1).IsEmpty());
    EXPECT_TRUE(TIndexedBitmap().Scaled(8, 8).IsEmpty());
}

// Grey scale replaces each palette entry by its rounded luminance and leaves pixels and
// transparency alone.
TEST(IndexedBitmap, GreyscaleUsesLuminance) {
    TIndexedBitmap grey = Quad().Greyscale();
    EXPECT_EQ(grey.Palette(),
              (std::vector<TRgb>{{76, 76, 76}, {150, 150, 150}, {29, 29, 29}, {255, 255, 255}}));
    EXPECT_EQ(grey.Pixels(), Quad().Pixels());
    EXPECT_EQ(grey.TransparentIndex(), 3);
    TIndexedBitmap mixed(1, 1, {{100, 150, 200}});
    // 29.9 + 88.05 + 22.8 = 140.75
    EXPECT_EQ(mixed.Greyscale().Palette()[0], (TRgb{141, 141, 141}));
}

// ARGB conversion gives opaque 0xFFRRGGBB colours, 0 for the transparent index and opaque black
// for an index beyond the palette.
TEST(IndexedBitmap, ArgbPixels) {
    EXPECT_EQ(Quad().ToArgb(),
              (std::vector<std::uint32_t>{0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0u}));
    TIndexedBitmap opaque(3, 1, {{0x12, 0x34, 0x56}});
    opaque.SetPixel(1, 0, 200);
    EXPECT_EQ(opaque.ToArgb(), (std::vector<std::uint32_t>{0xFF123456u, 0xFF000000u, 0xFF123456u}));
}

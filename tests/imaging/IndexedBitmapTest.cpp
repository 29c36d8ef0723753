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

}  // namespace

// Scaling takes the source pixel under each target pixel's centre, so enlarging repeats pixels
// as blocks and shrinking samples; palette and transparent index stay; a size of zero or less
// gives an empty bitmap.
TEST(IndexedBitmap, ScalingSamplesPixelCentres) {
    TIndexedBitmap counting(4, 4, kPalette, 3);
    for (int i = 0; i < 16; ++i)
        counting.SetPixel(i % 4, i / 4, static_cast<std::uint8_t>(i));
    struct Case {
        TIndexedBitmap source;
        int width, height;
        std::vector<std::uint8_t> pixels;
    };
    const Case cases[] = {
        {Quad(), 4, 4, {0, 0, 1, 1, 0, 0, 1, 1, 2, 2, 3, 3, 2, 2, 3, 3}},
        {Quad(), 3, 1, {2, 3, 3}},  // the row under the centre
        {counting, 2, 2, {5, 7, 13, 15}},
        {counting, 1, 4, {2, 6, 10, 14}},
        {counting, 0, 4, {}},
        {counting, 3, -1, {}},
        {TIndexedBitmap(), 8, 8, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        const TIndexedBitmap scaled = c.source.Scaled(c.width, c.height);
        EXPECT_EQ(scaled.Pixels(), c.pixels);
        EXPECT_EQ(scaled.IsEmpty(), c.pixels.empty());
        if (!c.pixels.empty()) {
            EXPECT_EQ(scaled.Palette(), kPalette);
            EXPECT_EQ(scaled.TransparentIndex(), 3);
        }
    }
}

// Grey scale replaces each palette entry by its rounded luminance and leaves pixels and
// transparency alone.
TEST(IndexedBitmap, GreyscaleUsesLuminance) {
    TIndexedBitmap grey = Quad().Greyscale();
    EXPECT_EQ(grey.Palette(),
              (std::vector<TRgb>{{76, 76, 76}, {150, 150, 150}, {29, 29, 29}, {255, 255, 255}}));
    EXPECT_EQ(grey.Pixels(), Quad().Pixels());
    EXPECT_EQ(grey.TransparentIndex(), 3);
    // 29.9 + 88.05 + 22.8 = 140.75
    EXPECT_EQ(TIndexedBitmap(1, 1, {{100, 150, 200}}).Greyscale().Palette()[0],
              (TRgb{141, 141, 141}));
}

// ARGB conversion gives opaque 0xFFRRGGBB colours, 0 for the transparent index and opaque black
// for an index beyond the palette.
TEST(IndexedBitmap, ArgbPixels) {
    EXPECT_EQ(Quad().ToArgb(),
              (std::vector<std::uint32_t>{0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0u}));
    TIndexedBitmap opaque(2, 1, {{0x12, 0x34, 0x56}});
    opaque.SetPixel(1, 0, 200);
    EXPECT_EQ(opaque.ToArgb(), (std::vector<std::uint32_t>{0xFF123456u, 0xFF000000u}));
}

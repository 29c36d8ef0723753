#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "imaging/TGifDecoder.h"
#include "resources/Resources.h"
#include "services/TServiceTablesWrapper.h"
#include "tests/imaging/TestGifWriter.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestEnv.h"
#include "tests/windows/IconFileReader.h"
#include "windows/TImageList.h"
#include "windows/TServicePictures.h"

namespace {

QByteArray Gif(const QString& name) {
    return Resources::Find("GIF", name).value_or(QByteArray());
}

// A size x size GIF: red with a transparent left column.
QByteArray BrandingGif(int size) {
    TestGifFrame frame;
    frame.width = size;
    frame.height = size;
    frame.transparent = 2;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            frame.pixels.push_back(x == 0 ? 2 : 0);
        }
    }
    return WriteTestGif(
        {size, size, 0, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 9, 9}}, {frame}});
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class ServicePictureTest : public ::testing::Test {
protected:
    ServicePictureTest() : tables(env.ProgramDir(), dialogs) {
        plain = tables.AddService(0xC221, 0, "Plain", u'A', 0, 225.648);
        music = tables.AddService(0xC4A7, 0, "Tunes", u'A', 13, 225.648);
        musicSecondary = tables.AddService(0xC4A7, 128, "Tunes 2", u'A', 13, 225.648);
        branding = env.Root() + "/Branding";
    }

    TestEnv env;
    ScriptedDialogs dialogs;
    TServiceTablesWrapper tables;
    QString branding;
    std::int32_t plain = 0;
    std::int32_t music = 0;
    std::int32_t musicSecondary = 0;
};

}  // namespace

// Without branding, type 0 takes the "default" pictures, type 13 the "music" ones, ServiceID 0
// the product's; a requested size below 32 is 16, anything else 32.
TEST_F(ServicePictureTest, GenreAndProductPicturesBySizeClass) {
    const TServicePictures pictures(tables, branding);
    EXPECT_EQ(pictures.BrandingCount(), 0);
    EXPECT_EQ(pictures.GetServicePictureData(plain, 16), Gif("DEFAULT16"));
    EXPECT_EQ(pictures.GetServicePictureData(plain, 32), Gif("DEFAULT32"));
    EXPECT_EQ(pictures.GetServicePictureData(music, 31), Gif("MUSIC16"));
    EXPECT_EQ(pictures.GetServicePictureData(music, 48), Gif("MUSIC32"));
    EXPECT_EQ(pictures.GetServicePictureData(0, 16), Gif("TUNORA16"));
    EXPECT_EQ(pictures.GetServicePictureData(0, 32), Gif("TUNORA32"));
    const std::optional<TIndexedBitmap> decoded = pictures.LoadServicePicture(music, 40);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->Width(), 32);
    EXPECT_EQ(decoded->Height(), 32);
}

// A branding picture named after the SId (any case) wins for its size and for every service of
// that SId; the other size, other services and a damaged branding file fall back to the genre.
TEST_F(ServicePictureTest, BrandingPictureWinsForItsSIdAndSize) {
    WriteFile(branding + "/GIF/$c4a7_16.GIF", BrandingGif(16));
    WriteFile(branding + "/GIF/$C221_16.gif", QByteArray("GIF89a broken"));
    const TServicePictures pictures(tables, branding);
    EXPECT_EQ(pictures.BrandingCount(), 1);
    EXPECT_EQ(pictures.GetServicePictureData(music, 16), BrandingGif(16));
    EXPECT_EQ(pictures.GetServicePictureData(musicSecondary, 8), BrandingGif(16));
    EXPECT_EQ(pictures.GetServicePictureData(music, 32), Gif("MUSIC32"));
    EXPECT_EQ(pictures.GetServicePictureData(plain, 16), Gif("DEFAULT16"));
    EXPECT_EQ(TServicePictures::SIdName(0xC221), "$C221");
    EXPECT_EQ(TServicePictures::SIdName(0x42), "$0042");
    EXPECT_EQ(TServicePictures::SIdName(0xE1C238A1), "$E1C238A1");
}

// An icon's mask is 1 exactly where the picture is transparent; the colour image is black there
// and keeps every other colour.
TEST_F(ServicePictureTest, IconMaskAndColourFollowTransparency) {
    const std::optional<TIndexedBitmap> picture = TGifDecoder::Decode(BrandingGif(4));
    ASSERT_TRUE(picture);
    const TIcon icon = TServicePictures::MakeIcon(*picture);
    EXPECT_TRUE(icon.IsIcon);
    EXPECT_EQ(icon.HotSpotX, 0);
    EXPECT_EQ(icon.HotSpotY, 0);
    ASSERT_EQ(icon.Mask.Width(), 4);
    ASSERT_EQ(icon.Colour.Height(), 4);
    EXPECT_EQ(icon.Colour.TransparentIndex(), TIndexedBitmap::kNoTransparency);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(icon.Mask.Pixel(x, y), x == 0 ? 1 : 0);
            const TRgb expected = x == 0 ? TRgb{0, 0, 0} : TRgb{255, 0, 0};
            EXPECT_EQ(icon.Colour.Colour(icon.Colour.Pixel(x, y)), expected);
        }
    }
}

// Image-list entries are sized to the list, carry the mask, and in grey scale have equal red,
// green and blue; the indices count up.
TEST_F(ServicePictureTest, ImageListEntriesScaledAndGrey) {
    WriteFile(branding + "/GIF/$C4A7_16.gif", BrandingGif(16));
    const TServicePictures pictures(tables, branding);
    TImageList list(20, 20);
    EXPECT_EQ(pictures.AddServicePicture(list, music, false), 0);
    EXPECT_EQ(pictures.AddServicePicture(list, music, true), 1);
    EXPECT_EQ(pictures.AddServicePicture(list, plain, true), 2);
    ASSERT_EQ(list.Count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list.At(i).Image.Width(), 20);
        EXPECT_EQ(list.At(i).Mask.Height(), 20);
    }
    // 16 -> 20 pixels: the transparent first column covers column 0 only.
    EXPECT_EQ(list.At(0).Mask.Pixel(0, 5), 1);
    EXPECT_EQ(list.At(0).Mask.Pixel(1, 5), 0);
    EXPECT_EQ(list.At(0).Image.Colour(list.At(0).Image.Pixel(10, 10)), (TRgb{255, 0, 0}));
    const TRgb grey = list.At(1).Image.Colour(list.At(1).Image.Pixel(10, 10));
    EXPECT_EQ(grey, (TRgb{76, 76, 76}));
    const TIndexedBitmap& plainGrey = list.At(2).Image;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            const TRgb c = plainGrey.Colour(plainGrey.Pixel(x, y));
            EXPECT_TRUE(c.R == c.G && c.G == c.B) << x << "," << y;
        }
    }
}

// The icon file for SId 0xC221 is Icons/$C221.ico in the program folder: 3638 bytes holding the
// 16 and 32 pixel default pictures; a second write replaces it.
TEST_F(ServicePictureTest, WritesServiceIconFile) {
    const TServicePictures pictures(tables, QString());
    const QString path = pictures.WriteServiceIcon(plain);
    EXPECT_EQ(path, env.ProgramDir() + "/Icons/$C221.ico");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    ASSERT_EQ(bytes.size(), 3638);
    const IconFile icon = ReadIconFile(bytes);
    ASSERT_TRUE(icon.valid);
    ASSERT_EQ(icon.images.size(), 2u);
    const TIndexedBitmap small = *TGifDecoder::Decode(Gif("DEFAULT16"));
    const TIndexedBitmap large = *TGifDecoder::Decode(Gif("DEFAULT32"));
    EXPECT_EQ(icon.images[0].width, 16);
    EXPECT_EQ(icon.images[1].width, 32);
    EXPECT_EQ(icon.images[0].offset, 38u);
    EXPECT_EQ(icon.images[1].offset, 1422u);
    // The genre picture has a transparent surround: the mask matches it pixel for pixel.
    int transparent = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            EXPECT_EQ(icon.images[1].mask[y * 32 + x], large.IsTransparent(x, y) ? 1 : 0);
            transparent += large.IsTransparent(x, y) ? 1 : 0;
        }
    }
    EXPECT_GT(transparent, 0);
    EXPECT_EQ(icon.images[0].mask[0], small.IsTransparent(0, 0) ? 1 : 0);

    // Replaced, not appended to.
    const QString again = pictures.WriteServiceIcon(plain, env.ProgramDir());
    EXPECT_EQ(QFileInfo(again).size(), 3638);
    EXPECT_EQ(pictures.IconFileName(music), "$C4A7.ico");
}

// A folder where "Icons" cannot be made loses the icon silently.
TEST_F(ServicePictureTest, UnwritableIconFolderIsIgnored) {
    WriteFile(env.ProgramDir() + "/Icons", QByteArray("a file, not a folder"));
    const TServicePictures pictures(tables, QString());
    const QString path = pictures.WriteServiceIcon(plain, env.ProgramDir());
    EXPECT_FALSE(QFileInfo(path).exists());
    QFile blocker(env.ProgramDir() + "/Icons");
    ASSERT_TRUE(blocker.open(QIODevice::ReadOnly));
    EXPECT_EQ(blocker.readAll(), QByteArray("a file, not a folder"));
}

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "imaging/TGifDecoder.h"
#include "resources/Resources.h"
#include "services/TServiceTablesWrapper.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestEnv.h"
#include "windows/TIconWriter.h"
#include "windows/TImageList.h"
#include "windows/TServicePictures.h"

namespace {

QByteArray Gif(const QString& name) {
    return Resources::Find("GIF", name).value_or(QByteArray());
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
    EXPECT_EQ(pictures.LoadServicePicture(music, 40)->Pixels(),
              TGifDecoder::Decode(Gif("MUSIC32"))->Pixels());
}

// A branding picture named after the SId (any case) wins for its size and for every service of
// that SId; the other size, other services and a damaged branding file fall back to the genre.
TEST_F(ServicePictureTest, BrandingPictureWinsForItsSIdAndSize) {
    WriteFile(branding + "/GIF/$c4a7_16.GIF", Gif("NEWS16"));
    WriteFile(branding + "/GIF/$C221_16.gif", QByteArray("GIF89a broken"));
    const TServicePictures pictures(tables, branding);
    EXPECT_EQ(pictures.BrandingCount(), 1);
    EXPECT_EQ(pictures.GetServicePictureData(music, 16), Gif("NEWS16"));
    EXPECT_EQ(pictures.GetServicePictureData(musicSecondary, 8), Gif("NEWS16"));
    EXPECT_EQ(pictures.GetServicePictureData(music, 32), Gif("MUSIC32"));
    EXPECT_EQ(pictures.GetServicePictureData(plain, 16), Gif("DEFAULT16"));
    EXPECT_EQ(TServicePictures::SIdName(0xC221), "$C221");
    EXPECT_EQ(TServicePictures::SIdName(0x42), "$0042");
    EXPECT_EQ(TServicePictures::SIdName(0xE1C238A1), "$E1C238A1");
}

// Image-list entries are the service's picture scaled to the list's size with its mask, in
// grey scale on request; the indices count up.
TEST_F(ServicePictureTest, ImageListEntriesScaledAndGrey) {
    WriteFile(branding + "/GIF/$C4A7_16.gif", Gif("NEWS16"));
    const TServicePictures pictures(tables, branding);
    TImageList list(20, 20);
    EXPECT_EQ(pictures.AddServicePicture(list, music, false), 0);
    EXPECT_EQ(pictures.AddServicePicture(list, music, true), 1);
    ASSERT_EQ(list.Count(), 2);
    const TIndexedBitmap news = TGifDecoder::Decode(Gif("NEWS16"))->Scaled(20, 20);
    const TIndexedBitmap expected[] = {news, news.Greyscale()};
    for (int i = 0; i < 2; ++i) {
        const TImageList::Entry& entry = list.At(i);
        ASSERT_EQ(entry.Image.Width(), 20);
        ASSERT_EQ(entry.Mask.Height(), 20);
        for (int at = 0; at < 400; at += 7) {
            const int x = at % 20, y = at / 20;
            EXPECT_EQ(entry.Mask.Pixel(x, y), news.IsTransparent(x, y) ? 1 : 0) << x << "," << y;
            if (!news.IsTransparent(x, y)) {
                EXPECT_EQ(entry.Image.Colour(entry.Image.Pixel(x, y)),
                          expected[i].Colour(expected[i].Pixel(x, y)));
            }
        }
    }
}

// The icon file for SId 0xC221 is Icons/$C221.ico in the program folder, holding the 16 and 32
// pixel default pictures at 256 colours; a second write replaces it; a folder where "Icons"
// cannot be made loses the icon silently.
TEST_F(ServicePictureTest, WritesServiceIconFile) {
    const TServicePictures pictures(tables, QString());
    const QString path = pictures.WriteServiceIcon(plain);
    EXPECT_EQ(path, env.ProgramDir() + "/Icons/$C221.ico");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    TIconWriter expected;
    for (const char* name : {"DEFAULT16", "DEFAULT32"}) {
        expected.Add(TServicePictures::MakeIcon(*TGifDecoder::Decode(Gif(name))), 256);
    }
    EXPECT_EQ(bytes, expected.Bytes());
    EXPECT_EQ(QFileInfo(pictures.WriteServiceIcon(plain, env.ProgramDir())).size(), bytes.size());
    EXPECT_EQ(pictures.IconFileName(music), "$C4A7.ico");

    const QString blocked = env.Root() + "/Blocked";
    WriteFile(blocked + "/Icons", QByteArray("a file, not a folder"));
    EXPECT_FALSE(QFileInfo(pictures.WriteServiceIcon(plain, blocked)).exists());
    QFile blocker(blocked + "/Icons");
    ASSERT_TRUE(blocker.open(QIODevice::ReadOnly));
    EXPECT_EQ(blocker.readAll(), QByteArray("a file, not a folder"));
}

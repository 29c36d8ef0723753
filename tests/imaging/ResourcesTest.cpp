#include <gtest/gtest.h>

#include <QStringList>

#include "imaging/TGifDecoder.h"
#include "resources/Resources.h"

// The pictures the windows place decode at their sizes: splash, product mark and name (on a
// transparent background), and every genre at 16 and 32 pixels with transparent corners and an
// opaque middle; Names lists every GIF upper-cased and each of them decodes.
TEST(Resources, PicturesDecodeAtTheirSizes) {
    struct Case {
        QString name;
        int width, height;
        int clear;  // 0 opaque, 1 transparent corners, 2 and an opaque middle too
    };
    std::vector<Case> cases = {{"SPLASH", 300, 100, 0},
                               {"Tunora", 268, 64, 1},
                               {"tunora16", 16, 16, 0},
                               {"TUNORA32", 32, 32, 0}};
    for (const char* genre : {"NEWS", "SPORT", "EDUCATION", "DRAMA", "CHART", "MUSIC", "FINANCE",
                              "PHONE", "TRAVEL", "ALARM", "DEFAULT"}) {
        for (int size : {16, 32})
            cases.push_back({genre + QString::number(size), size, size, 2});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        QString error;
        std::optional<TIndexedBitmap> bitmap = TGifDecoder::LoadResource(c.name, &error);
        ASSERT_TRUE(bitmap.has_value()) << error.toStdString();
        EXPECT_EQ(bitmap->Width(), c.width);
        EXPECT_EQ(bitmap->Height(), c.height);
        if (c.clear > 0) {
            EXPECT_TRUE(bitmap->IsTransparent(0, 0));
            EXPECT_TRUE(bitmap->IsTransparent(c.width - 1, c.height - 1));
        }
        if (c.clear > 1) {
            EXPECT_FALSE(bitmap->IsTransparent(c.width / 2, c.height / 2));
        }
    }

    const QStringList names = Resources::Names("gif");
    EXPECT_TRUE(names.contains("SPLASH"));
    EXPECT_GE(names.size(), static_cast<qsizetype>(cases.size()));
    for (const QString& name : names) {
        EXPECT_TRUE(TGifDecoder::LoadResource(name).has_value()) << name.toStdString();
    }
}

// The window icon is a PNG of the product mark, in 32 and 16 pixels.
TEST(Resources, MainIcon) {
    for (auto [name, size] : {std::pair{"mainicon", 32}, std::pair{"MainIcon16", 16}}) {
        std::optional<QByteArray> png = Resources::Find("icon", name);
        ASSERT_TRUE(png.has_value()) << name;
        ASSERT_GE(png->size(), 24);
        EXPECT_TRUE(png->startsWith("\x89PNG\r\n\x1a\n"));
        QByteArray ihdr(8, '\0');  // width and height, big-endian
        ihdr[3] = ihdr[7] = static_cast<char>(size);
        EXPECT_EQ(png->mid(16, 8), ihdr);
    }
}

// Type and name match without regard to case, but whole, without extension, and only within the
// type; a missing picture names itself in the error.
TEST(Resources, LookupMatchesWholeNamesInTheirType) {
    EXPECT_TRUE(Resources::Find("Gif", "sPlAsH").has_value());
    const std::pair<const char*, const char*> misses[] = {
        {"GIF", "SPLASH.gif"}, {"GIF", "SPLAS"}, {"GIF", ""},
        {"ICON", "SPLASH"},    {"", "SPLASH"},   {"GIF", "MAINICON"}};
    for (const auto& [type, name] : misses) {
        EXPECT_FALSE(Resources::Find(type, name).has_value()) << type << "/" << name;
    }
    QString error;
    EXPECT_FALSE(TGifDecoder::LoadResource("NOSUCHPICTURE", &error).has_value());
    EXPECT_EQ(error, "No GIF resource \"NOSUCHPICTURE\"");
}

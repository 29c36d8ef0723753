#include <gtest/gtest.h>

#include <QStringList>

#include "imaging/TGifDecoder.h"
#include "resources/Resources.h"

namespace {

const QStringList kGenres = {"NEWS",    "SPORT", "EDUCATION", "DRAMA", "CHART",  "MUSIC",
                             "FINANCE", "PHONE", "TRAVEL",    "ALARM", "DEFAULT"};

// Upper, lower and mixed case spellings of a name.
QStringList Spellings(const QString& name) {
    QString mixed = name.toLower();
    mixed[0] = mixed[0].toUpper();
    return {name.toUpper(), name.toLower(), mixed};
}

std::uint32_t BigEndian32(const QByteArray& data, int offset) {
    auto byte = [&](int i) {
        return static_cast<std::uint32_t>(static_cast<std::uint8_t>(data[offset + i]));
    };
    return byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
}

}  // namespace

// The splash and product pictures are found under any spelling of type and name and decode at
// the sizes the windows place them.
TEST(Resources, SplashAndProductPictures) {
    struct Expected {
        QString name;
        int width;
        int height;
    };
    for (const Expected& e : {Expected{"SPLASH", 300, 100}, Expected{"TUNORA", 268, 64},
                              Expected{"TUNORA16", 16, 16}, Expected{"TUNORA32", 32, 32}}) {
        for (const QString type : {"GIF", "gif", "Gif"}) {
            for (const QString& name : Spellings(e.name)) {
                std::optional<QByteArray> data = Resources::Find(type, name);
                ASSERT_TRUE(data.has_value()) << type.toStdString() << "/" << name.toStdString();
                EXPECT_TRUE(data->startsWith("GIF8"));
            }
        }
        QString error;
        std::optional<TIndexedBitmap> bitmap = TGifDecoder::LoadResource(e.name.toLower(), &error);
        ASSERT_TRUE(bitmap.has_value()) << error.toStdString();
        EXPECT_EQ(bitmap->Width(), e.width) << e.name.toStdString();
        EXPECT_EQ(bitmap->Height(), e.height) << e.name.toStdString();
    }
    // The name picture lies on a transparent background.
    TIndexedBitmap name = *TGifDecoder::LoadResource("Tunora");
    EXPECT_TRUE(name.IsTransparent(0, 0));
    EXPECT_TRUE(name.IsTransparent(267, 63));
}

// Every genre has a 16 and a 32 pixel square picture with transparent corners and an opaque
// middle.
TEST(Resources, GenrePictures) {
    for (const QString& genre : kGenres) {
        for (int size : {16, 32}) {
            for (const QString& name : Spellings(genre + QString::number(size))) {
                EXPECT_TRUE(Resources::Find("gif", name).has_value()) << name.toStdString();
            }
            QString error;
            std::optional<TIndexedBitmap> bitmap =
                TGifDecoder::LoadResource(genre + QString::number(size), &error);
            ASSERT_TRUE(bitmap.has_value())
                << genre.toStdString() << size << ": " << error.toStdString();
            EXPECT_EQ(bitmap->Width(), size);
            EXPECT_EQ(bitmap->Height(), size);
            EXPECT_TRUE(bitmap->IsTransparent(0, 0)) << genre.toStdString() << size;
            EXPECT_TRUE(bitmap->IsTransparent(size - 1, size - 1)) << genre.toStdString() << size;
            EXPECT_FALSE(bitmap->IsTransparent(size / 2, size / 2)) << genre.toStdString() << size;
        }
    }
}

// The window icon is a PNG of the product mark, in 32 and 16 pixels.
TEST(Resources, MainIcon) {
    for (auto [name, size] : {std::pair{"mainicon", 32}, std::pair{"MainIcon16", 16}}) {
        std::optional<QByteArray> png = Resources::Find("icon", name);
        ASSERT_TRUE(png.has_value()) << name;
        ASSERT_GE(png->size(), 24);
        EXPECT_TRUE(png->startsWith("\x89PNG\r\n\x1a\n"));
        EXPECT_EQ(BigEndian32(*png, 16), std::uint32_t(size));  // IHDR width
        EXPECT_EQ(BigEndian32(*png, 20), std::uint32_t(size));  // IHDR height
    }
}

// A name is matched whole, without its extension, and only within its own type.
TEST(Resources, LookupMisses) {
    EXPECT_FALSE(Resources::Find("GIF", "SPLASH.gif").has_value());
    EXPECT_FALSE(Resources::Find("GIF", "SPLAS").has_value());
    EXPECT_FALSE(Resources::Find("GIF", "").has_value());
    EXPECT_FALSE(Resources::Find("ICON", "SPLASH").has_value());
    EXPECT_FALSE(Resources::Find("", "SPLASH").has_value());
    EXPECT_FALSE(Resources::Find("GIF", "MAINICON").has_value());
    QString error;
    EXPECT_FALSE(TGifDecoder::LoadResource("NOSUCHPICTURE", &error).has_value());
    EXPECT_EQ(error, "No GIF resource \"NOSUCHPICTURE\"");
}

// Every embedded GIF decodes, and Names lists them upper-cased.
TEST(Resources, EveryGifDecodes) {
    const QStringList names = Resources::Names("gif");
    EXPECT_TRUE(names.contains("SPLASH"));
    EXPECT_TRUE(names.contains("DEFAULT32"));
    EXPECT_GE(names.size(), 2 * kGenres.size() + 4);
    for (const QString& name : names) {
        QString error;
        EXPECT_TRUE(TGifDecoder::LoadResource(name, &error).has_value())
            << name.toStdString() << ": " << error.toStdString();
    }
}

#include <gtest/gtest.h>

#include "services/ChannelTable.h"
#include "services/ProgrammeTypes.h"

namespace {
QStringList Names(const QList<TBuiltInChannel>& channels) {
    QStringList names;
    for (const auto& c : channels) {
        names.append(QString::fromLatin1(c.Name));
    }
    return names;
}
}  // namespace

// The three sets have their fixed sizes, order and exact end frequencies.
TEST(ChannelTable, SetsHaveTheirChannels) {
    const auto uk = ChannelSetChannels(ChannelSetUK);
    EXPECT_EQ(Names(uk), (QStringList{"11B", "11C", "11D", "12A", "12B", "12C", "12D"}));
    EXPECT_EQ(uk.front().Frequency, 218.640);
    EXPECT_EQ(uk.back().Frequency, 229.072);

    const auto all = ChannelSetChannels(ChannelSetBandIIIAndLBand);
    ASSERT_EQ(all.size(), 61);
    EXPECT_EQ(QString::fromLatin1(all.front().Name), "5A");
    EXPECT_EQ(all.front().Frequency, 174.928);
    EXPECT_EQ(QString::fromLatin1(all[37].Name), "13F");
    EXPECT_EQ(all[37].Frequency, 239.200);
    EXPECT_EQ(QString::fromLatin1(all[38].Name), "LA");
    EXPECT_EQ(all[38].Frequency, 1452.960);
    EXPECT_EQ(QString::fromLatin1(all.back().Name), "LW");
    EXPECT_EQ(all.back().Frequency, 1490.624);
    for (qsizetype i = 1; i < all.size(); ++i) {
        EXPECT_LT(all[i - 1].Frequency, all[i].Frequency) << all[i].Name;
    }

    const auto canada = ChannelSetChannels(ChannelSetCanada);
    ASSERT_EQ(canada.size(), 23);
    EXPECT_EQ(QString::fromLatin1(canada.front().Name), "Canada 1");
    EXPECT_EQ(canada.front().Frequency, 1452.816);
    EXPECT_EQ(QString::fromLatin1(canada.back().Name), "Canada 23");
    EXPECT_EQ(canada.back().Frequency, 1491.184);

    EXPECT_TRUE(ChannelSetChannels(3).isEmpty());
    EXPECT_TRUE(ChannelSetChannels(-1).isEmpty());
}

// The regular rasters: L-Band channels 1.712 MHz apart, Canadian channels 1.744 MHz apart.
TEST(ChannelTable, RastersAreRegular) {
    const auto lband = LBandChannels();
    for (size_t i = 0; i < lband.size(); ++i) {
        EXPECT_NEAR(lband[i].Frequency, 1452.960 + 1.712 * static_cast<double>(i), 1e-9);
    }
    const auto canada = CanadaChannels();
    for (size_t i = 0; i < canada.size(); ++i) {
        EXPECT_NEAR(canada[i].Frequency, 1452.816 + 1.744 * static_cast<double>(i), 1e-9);
        EXPECT_EQ(QString::fromLatin1(canada[i].Name), QStringLiteral("Canada %1").arg(i + 1));
    }
}

// Programme type names cover 0..31; other codes are spelled out.
TEST(ProgrammeTypes, Names) {
    EXPECT_EQ(GetProgrammeTypeName(0), QString());
    EXPECT_EQ(GetProgrammeTypeName(1), "News");
    EXPECT_EQ(GetProgrammeTypeName(13), "Light Classical");
    EXPECT_EQ(GetProgrammeTypeName(18), "Childrens");
    EXPECT_EQ(GetProgrammeTypeName(21), "Phone In");
    EXPECT_EQ(GetProgrammeTypeName(31), "Alarm");
    EXPECT_EQ(GetProgrammeTypeName(32), "Program Type 32");
    EXPECT_EQ(GetProgrammeTypeName(-1), "Program Type -1");
}

// Genre pictures by code and the two sizes, with the product picture for no service.
TEST(ProgrammeTypes, GenreImages) {
    EXPECT_EQ(GetGenreImageName(2, 16), "NEWS16");
    EXPECT_EQ(GetGenreImageName(28, 32), "MUSIC32");
    EXPECT_EQ(GetGenreImageName(21, 16), "PHONE16");
    EXPECT_EQ(GetGenreImageName(30, 16), "ALARM16");
    EXPECT_EQ(GetGenreImageName(3, 16), "DEFAULT16");
    EXPECT_EQ(GetGenreImageName(0, 16), "DEFAULT16");
    EXPECT_EQ(GetGenreImageName(32, 32), "DEFAULT32");
    EXPECT_EQ(GetGenreImageName(4, 20), "SPORT16");
    EXPECT_EQ(GetGenreImageName(4, 48), "SPORT32");
    EXPECT_EQ(GetProductImageName(31), "TUNORA16");
    EXPECT_EQ(GetProductImageName(32), "TUNORA32");
}

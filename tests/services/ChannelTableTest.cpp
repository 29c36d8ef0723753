#include <gtest/gtest.h>

#include "services/ChannelTable.h"
#include "services/ProgrammeTypes.h"

// Each set runs in rising frequency (Band III before L-Band); unknown sets are empty.
TEST(ChannelTable, SetsRunInRisingFrequency) {
    for (const int set : {ChannelSetUK, ChannelSetBandIIIAndLBand, ChannelSetCanada}) {
        const auto channels = ChannelSetChannels(set);
        ASSERT_FALSE(channels.isEmpty()) << set;
        for (qsizetype i = 1; i < channels.size(); ++i) {
            EXPECT_LT(channels[i - 1].Frequency, channels[i].Frequency) << channels[i].Name;
        }
    }
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

// Codes outside 1..31 have no name of their own; genre pictures fall back to the default one and
// take the 32-pixel size from 32 pixels up.
TEST(ProgrammeTypes, FallbacksAndSizes) {
    EXPECT_EQ(GetProgrammeTypeName(0), QString());
    EXPECT_EQ(GetProgrammeTypeName(32), "Program Type 32");
    EXPECT_EQ(GetProgrammeTypeName(-1), "Program Type -1");
    EXPECT_EQ(GetGenreImageName(3, 16), "DEFAULT16");
    EXPECT_EQ(GetGenreImageName(32, 32), "DEFAULT32");
    EXPECT_EQ(GetGenreImageName(4, 20), "SPORT16");
    EXPECT_EQ(GetGenreImageName(4, 48), "SPORT32");
    EXPECT_EQ(GetProductImageName(31), "TUNORA16");
    EXPECT_EQ(GetProductImageName(32), "TUNORA32");
}

#include <gtest/gtest.h>

#include <cstdlib>

#include "http/THTTPServer.h"
#include "tests/support/Mpg123Reader.h"
#include "tests/support/Polling.h"
#include "tests/support/ReceiverWorld.h"

// End to end on the demo air: mpg123 fetches a service's ".mp2" stream from the server over the
// simulated receiver (unpaced), decodes its MPEG audio and reports the dynamic label it got as
// the ICY stream title.
TEST(HTTPSim, Mpg123PlaysTheStreamAndShowsItsTitle) {
    const QString mpg123 = Mpg123Player();
    if (mpg123.isEmpty()) {
        GTEST_SKIP() << "mpg123 is not installed";
    }
    ::unsetenv("TUNORA_AIR_FILE");
    ::setenv("TUNORA_SIM_UNPACED", "1", 1);
    ReceiverWorld world(ReceiverWorld::Tables::Empty, ReceiverWorld::Component::Simulated);
    THTTPServer server(world.settings, world.tables, world.control, 0);
    ASSERT_TRUE(server.IsActive());

    ASSERT_TRUE(world.control.TuneFrequency(218.640));
    ASSERT_TRUE(PollUntil([&] { return world.control.IsSettled(); }, 20000));
    ASSERT_NE(world.tables.FindService(0xC2A1, 0), 0);

    const Mpg123Playback played = PlayWithMpg123(
        mpg123, QStringLiteral("http://127.0.0.1:%1/49825.mp2").arg(server.Port()), 1500, 60000);
    const std::string report = played.report.toStdString();
    EXPECT_EQ(played.exitCode, 0) << report;
    EXPECT_TRUE(played.report.contains(QStringLiteral("MPEG 1.0 L II"))) << report;
    EXPECT_TRUE(
        played.report.contains(QStringLiteral("ICY-META: StreamTitle='Harbour FM - the sound")) ||
        played.report.contains(QStringLiteral("ICY-META: StreamTitle='Now playing")) ||
        played.report.contains(QStringLiteral("ICY-META: StreamTitle='Request a song")))
        << report;
}

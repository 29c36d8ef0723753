#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>

#include "http/THTTPServer.h"
#include "platform/RegistryKey.h"
#include "receiver/IViadabRx.h"
#include "receiver/TMainControl.h"
#include "receiver/TReceiverComponent.h"
#include "receiver/TViaDABWrapper.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"
#include "tests/http/HTTPTestClient.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestEnv.h"

// End to end on the demo air: mpg123 fetches a service's ".mp2" stream from the server over the
// simulated receiver (unpaced), decodes its MPEG audio and reports the dynamic label it got as
// the ICY stream title.
TEST(HTTPSim, Mpg123PlaysTheStreamAndShowsItsTitle) {
    const QString mpg123 = QStandardPaths::findExecutable(QStringLiteral("mpg123"));
    if (mpg123.isEmpty()) {
        GTEST_SKIP() << "mpg123 is not installed";
    }
    TestEnv env;
    ScriptedDialogs dialogs;
    ::unsetenv("TUNORA_AIR_FILE");
    ::setenv("TUNORA_SIM_UNPACED", "1", 1);
    RegistryKey(RegistryKey::HiveFile(RegistryKey::Hive::Classes),
                QString::fromLatin1(CoViadabRxServerKey))
        .WriteString(QString(), QStringLiteral(SIM_COMPONENT_PATH));

    TServiceTablesWrapper tables(env.ProgramDir(), dialogs);
    TSettingsWrapper settings(
        RegistryKey(RegistryKey::HiveFile(RegistryKey::Hive::User), TSettingsWrapper::KeyPath()),
        RegistryKey(RegistryKey::HiveFile(RegistryKey::Hive::Machine), TSettingsWrapper::KeyPath()),
        tables, 0, 1920);
    TViaDABWrapper wrapper(&TReceiverComponent::CreateRegistered);
    TMainControl control(wrapper, tables);
    THTTPServer server(settings, tables, control, 0);
    ASSERT_TRUE(server.IsActive());

    ASSERT_TRUE(control.TuneFrequency(218.640));
    ASSERT_TRUE(PumpUntil([&] { return control.IsSettled(); }, 20000));
    const std::int32_t harbour = tables.FindService(0xC2A1, 0);
    ASSERT_NE(harbour, 0);

    QProcess player;
    player.start(mpg123, {QStringLiteral("-v"), QStringLiteral("-t"), QStringLiteral("-n"),
                          QStringLiteral("1500"),
                          QStringLiteral("http://127.0.0.1:%1/49825.mp2").arg(server.Port())});
    ASSERT_TRUE(player.waitForStarted());
    ASSERT_TRUE(PumpUntil([&] { return player.state() == QProcess::NotRunning; }, 60000));
    const QString output = QString::fromLocal8Bit(player.readAllStandardError());
    EXPECT_EQ(player.exitCode(), 0) << output.toStdString();
    for (const QString& line : output.split(u'\n')) {
        if (line.contains(QStringLiteral("ICY")) || line.contains(QStringLiteral("MPEG"))) {
            std::printf("mpg123: %s\n", qPrintable(line));
        }
    }
    EXPECT_TRUE(output.contains(QStringLiteral("ICY-NAME: Harbour FM"))) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("MPEG 1.0 L II"))) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("ICY-META: StreamTitle='Harbour FM - the sound")) ||
                output.contains(QStringLiteral("ICY-META: StreamTitle='Now playing")) ||
                output.contains(QStringLiteral("ICY-META: StreamTitle='Request a song")))
        << output.toStdString();
}

#include <gtest/gtest.h>

#include <QFile>

#include "shell/Startup.h"
#include "tests/support/ReceiverWorld.h"

namespace {

class StartupTest : public ::testing::Test, public ReceiverWorld {};

RegistryKey MachineKey(const QString& file = RegistryKey::HiveFile(RegistryKey::Hive::Machine)) {
    return RegistryKey(file, TSettingsWrapper::KeyPath());
}

}  // namespace

// RECODE diverts only as the very first argument, in any letter case.
TEST(Startup, RecodeOnlyAsFirstArgument) {
    EXPECT_TRUE(Startup::IsRecodeCommand(
        {QStringLiteral("tunora"), QStringLiteral("recode"), QStringLiteral("MP3")}));
    EXPECT_FALSE(Startup::IsRecodeCommand(
        {QStringLiteral("tunora"), QStringLiteral("PLAY"), QStringLiteral("RECODE")}));
    EXPECT_FALSE(Startup::IsRecodeCommand({QStringLiteral("tunora")}));
}

// Executable, Directory (with its trailing separator) and Version go to the machine-wide hive.
TEST_F(StartupTest, ProgramIdentityIsWrittenMachineWide) {
    Startup::WriteProgramIdentity(settings, QStringLiteral("/opt/tunora/bin/tunora"));
    const RegistryKey machine = MachineKey();
    EXPECT_EQ(machine.ReadString(QStringLiteral("Executable")),
              QStringLiteral("/opt/tunora/bin/tunora"));
    EXPECT_EQ(machine.ReadString(QStringLiteral("Directory")), QStringLiteral("/opt/tunora/bin/"));
    EXPECT_EQ(machine.ReadString(QStringLiteral("Version")), QStringLiteral("1.4 Dev 10"));
}

// A machine-wide hive that refuses writes does not stop start-up.
TEST_F(StartupTest, RefusedIdentityWriteIsIgnored) {
    // A regular file where the hive's folder should be makes every write fail, even for root.
    const QString blocker = env.File(QStringLiteral("blocked"));
    QFile(blocker).open(QIODevice::WriteOnly);
    TSettingsWrapper refused(SettingsKey(RegistryKey::Hive::User),
                             MachineKey(blocker + QStringLiteral("/Tunora.conf")), tables, 0, 1920);
    EXPECT_NO_THROW(Startup::WriteProgramIdentity(refused, QStringLiteral("/usr/bin/tunora")));
    EXPECT_FALSE(refused.ValueExists(Setting::Version));
}

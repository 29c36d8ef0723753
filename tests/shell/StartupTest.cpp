#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "platform/RegistryKey.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"
#include "shell/Startup.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestEnv.h"

namespace {

const QString KeyPath = QStringLiteral("Software\\Tunora\\Tunora");

struct SettingsFixture : ::testing::Test {
    TestEnv env;
    ScriptedDialogs dialogs;
    TServiceTablesWrapper tables{env.ProgramDir(), dialogs};
    TSettingsWrapper settings{
        RegistryKey(RegistryKey::HiveFile(RegistryKey::Hive::User), KeyPath),
        RegistryKey(RegistryKey::HiveFile(RegistryKey::Hive::Machine), KeyPath), tables, 0, 1920};
};

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
TEST_F(SettingsFixture, ProgramIdentityIsWrittenMachineWide) {
    Startup::WriteProgramIdentity(settings, QStringLiteral("/opt/tunora/bin/tunora"));
    RegistryKey machine(RegistryKey::HiveFile(RegistryKey::Hive::Machine), KeyPath);
    EXPECT_EQ(machine.ReadString(QStringLiteral("Executable")),
              QStringLiteral("/opt/tunora/bin/tunora"));
    EXPECT_EQ(machine.ReadString(QStringLiteral("Directory")), QStringLiteral("/opt/tunora/bin/"));
    EXPECT_EQ(machine.ReadString(QStringLiteral("Version")), QStringLiteral("1.4 Dev 10"));
}

// A machine-wide hive that refuses writes does not stop start-up.
TEST_F(SettingsFixture, RefusedIdentityWriteIsIgnored) {
    // A regular file where the hive's folder should be makes every write fail, even for root.
    const QString blocker = env.File(QStringLiteral("blocked"));
    QFile(blocker).open(QIODevice::WriteOnly);
    TSettingsWrapper refused(RegistryKey(RegistryKey::HiveFile(RegistryKey::Hive::User), KeyPath),
                             RegistryKey(blocker + QStringLiteral("/Tunora.conf"), KeyPath), tables,
                             0, 1920);
    EXPECT_NO_THROW(Startup::WriteProgramIdentity(refused, QStringLiteral("/usr/bin/tunora")));
    EXPECT_FALSE(refused.ValueExists(Setting::Version));
}

// Show command 7 hides the bar from now on, 3 shows it, 1 leaves the setting alone.
TEST_F(SettingsFixture, ShowCommandSetsHideBar) {
    Startup::ApplyShowCommand(settings, 7);
    EXPECT_TRUE(settings.ReadBool(Setting::HideBar));
    Startup::ApplyShowCommand(settings, 1);
    EXPECT_TRUE(settings.ReadBool(Setting::HideBar));
    Startup::ApplyShowCommand(settings, 3);
    EXPECT_FALSE(settings.ReadBool(Setting::HideBar));
    EXPECT_TRUE(settings.ValueExists(Setting::HideBar));
}

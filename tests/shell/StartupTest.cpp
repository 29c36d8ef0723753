#include <gtest/gtest.h>

#include <QDir>
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

// Machine-wide defaults this user may not create are reported once, with the hive and the
// command that creates them; a refused "HideBar" write is shown, not thrown.
TEST_F(StartupTest, MissingMachineDefaultsAreReportedWithTheFix) {
    EXPECT_FALSE(Startup::ReportMissingMachineDefaults(settings, QStringLiteral("/x/register")));
    const QString blocker = env.File(QStringLiteral("blocked"));
    QFile(blocker).open(QIODevice::WriteOnly);
    qputenv("TUNORA_MACHINE_HIVE", (blocker + QStringLiteral("/Tunora.conf")).toLocal8Bit());
    TSettingsWrapper refused(SettingsKey(RegistryKey::Hive::User), MachineKey(), tables, 0, 1920);
    EXPECT_TRUE(Startup::ReportMissingMachineDefaults(refused, QStringLiteral("/x/register")));
    EXPECT_TRUE(dialogs.Shown(
        1, DialogKind::Warning,
        u"The machine-wide settings \"ServerPort\" and \"ServerPassword\" are missing and this "
        "user may not create them in "_qs +
            blocker +
            u"/Tunora.conf, so the HTTP server is off.\n\rCreate them once with: sudo /x/register "
            "--defaults"_qs,
        DialogButtons::Ok));
    QFile::remove(RegistryKey::HiveFile(RegistryKey::Hive::User));
    ASSERT_TRUE(QDir().mkpath(RegistryKey::HiveFile(RegistryKey::Hive::User)));
    EXPECT_NO_THROW(Startup::ApplyShowCommand(settings, 3));
    EXPECT_TRUE(dialogs.Shown(2, DialogKind::Error, u"Failed to set data for 'HideBar'"_qs,
                              DialogButtons::Ok));
}

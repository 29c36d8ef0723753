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

// A mistyped value in a settings file read at start-up is shown once, as its error text, and
// reads as its default; a wrong-typed password reads as one password for the whole run.
TEST_F(StartupTest, MistypedSettingsAreReportedOnceAndDefaulted) {
    const struct {
        const char* line;
        SettingName name;
        std::int32_t value;
    } cases[] = {{"\"Width\"=\"abc\"", Setting::Width, 320},
                 {"\"HideBar\"=dword:", Setting::HideBar, 0},
                 {"\"ServerPort\"=\"8181\"", Setting::ServerPort, 8080},
                 {"\"ServerPort\"=dword:123456789", Setting::ServerPort, 8080},
                 {"\"ServerPassword\"=\"k3yAb", Setting::ServerPassword, 0}};  // truncated
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const QString file = env.File(QString::number(&c - cases) + QStringLiteral(".conf"));
        QFile hive(file);
        ASSERT_TRUE(hive.open(QIODevice::WriteOnly));
        hive.write(QByteArray("[Software\\Tunora\\Tunora]\n") + c.line);
        hive.close();
        const RegistryKey key(file, TSettingsWrapper::KeyPath());
        TSettingsWrapper s(key, key, tables, 0, 1920);
        ScriptedDialogs boxes;
        Startup::ReportInvalidSettings(s, boxes);
        Startup::ReportInvalidSettings(s, boxes);
        EXPECT_TRUE(boxes.Shown(1, DialogKind::Error,
                                "Invalid data type for '" + c.name.Text() + "'",
                                DialogButtons::Ok));
        EXPECT_EQ(s.ReadInteger(c.name), c.value);
        EXPECT_EQ(s.ReadString(Setting::ServerPassword).size(), 16);
        EXPECT_EQ(s.ReadString(Setting::ServerPassword), s.ReadString(Setting::ServerPassword));
    }
}

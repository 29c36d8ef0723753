#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QSysInfo>

#include "LayerTwoStream.h"
#include "platform/HandOverClient.h"
#include "platform/RegistryKey.h"
#include "receiver/IViadabRx.h"
#include "tests/support/Polling.h"
#include "tests/support/TestEnv.h"

// These tests start the real program (headless) in an isolated configuration.
namespace {

const QString KeyPath = QStringLiteral("Software\\Tunora\\Tunora");

QString ProgramPath(const QString& name = QStringLiteral("tunora")) {
    return qEnvironmentVariable("TUNORA_TEST_BIN_DIR") + u'/' + name;
}

RegistryKey UserKey() {
    return RegistryKey(RegistryKey::HiveFile(RegistryKey::Hive::User), KeyPath);
}
RegistryKey MachineKey() {
    return RegistryKey(RegistryKey::HiveFile(RegistryKey::Hive::Machine), KeyPath);
}

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        env.RegisterReceiver();
        QFile services(env.ProgramDir() + QStringLiteral("/Services.csv"));
        ASSERT_TRUE(services.open(QIODevice::WriteOnly));
        services.write(
            "\"$C0DE\",\"0\",\"225.648\",\"Radio One\",\"A\",\"10\"\r\n"
            "\"$C1A2\",\"0\",\"225.648\",\"Talk Two\",\"A\",\"1\"\r\n");
    }
    void TearDown() override {
        if (first.state() != QProcess::NotRunning) {
            first.kill();
            first.waitForFinished();
        }
    }

    // Starts the first instance and waits until it answers the hand-over.
    void StartFirst(const QStringList& args = {}) {
        first.setProcessChannelMode(QProcess::SeparateChannels);
        first.start(ProgramPath(), args);
        ASSERT_TRUE(first.waitForStarted());
        ASSERT_TRUE(PollUntil([] { return HandOverClient::Send(2, 0, QString()).has_value(); }))
            << "the first instance never answered: " << first.readAllStandardError().toStdString();
    }

    // Runs a second instance to its end; returns its exit code.
    int RunSecond(const QStringList& args) {
        QProcess second;
        second.start(ProgramPath(), args);
        second.waitForFinished(20000);
        secondErr = second.readAllStandardError();
        return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
    }

    // Ends the first instance with SIGTERM; it must exit with status 0.
    void StopFirst() {
        first.terminate();
        EXPECT_TRUE(first.waitForFinished(20000));
        firstErr += first.readAllStandardError();
        EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(first.exitCode(), 0) << firstErr.toStdString();
    }

    TestEnv env;
    QProcess first;
    QByteArray firstErr;
    QByteArray secondErr;
};

}  // namespace

// A first run on a clean configuration answers the server port, writes the created defaults,
// the program's own path and the seven UK channels, and SIGTERM ends it in order.
TEST_F(Program, FirstRunWritesDefaultsAndEndsOnSigterm) {
    StartFirst();
    EXPECT_EQ(HandOverClient::Send(2, 0, QString()), std::optional<int>(8080));
    StopFirst();

    EXPECT_EQ(UserKey().ReadInteger(QStringLiteral("Width")), 320);
    EXPECT_TRUE(
        MachineKey().ReadString(QStringLiteral("Executable")).endsWith(QStringLiteral("/tunora")));

    QFile ensembles(env.ProgramDir() + QStringLiteral("/Ensemble.csv"));
    ASSERT_TRUE(ensembles.open(QIODevice::ReadOnly));
    const QByteArray text = ensembles.readAll();
    EXPECT_EQ(text.count("\r\n"), 7);
    EXPECT_TRUE(text.startsWith("\"218.64\",\"11B\",\"2\",\"\"\r\n")) << text.toStdString();
}

// A second start hands its whole command line to the first and ends at once with status 0.
TEST_F(Program, SecondInstanceHandsOverItsCommandLine) {
    StartFirst();
    EXPECT_EQ(RunSecond({QStringLiteral("play"), QStringLiteral("$c0de")}), 0);
    EXPECT_EQ(UserKey().ReadString(QStringLiteral("Playing")), QStringLiteral("$C0DE"));
    EXPECT_EQ(UserKey().ReadString(QStringLiteral("Recents")), QStringLiteral("$C0DE"));

    EXPECT_EQ(RunSecond({QStringLiteral("$C1A2")}), 0);
    EXPECT_EQ(UserKey().ReadString(QStringLiteral("Recents")), QStringLiteral("$C1A2,$C0DE"));

    // Unknown words are reported by the running instance, not the second one.
    EXPECT_EQ(RunSecond({QStringLiteral("FOO")}), 0);
    EXPECT_TRUE(secondErr.isEmpty()) << secondErr.toStdString();

    StopFirst();
    EXPECT_TRUE(firstErr.contains("Tunora: error: Invalid command line."))
        << firstErr.toStdString();
}

// The start's own command line runs, and NUL keeps PlayOnStartup from resuming "Playing".
TEST_F(Program, OwnCommandLineAndPlayOnStartup) {
    UserKey().WriteInteger(QStringLiteral("PlayOnStartup"), 1);
    UserKey().WriteString(QStringLiteral("Playing"), QStringLiteral("$C0DE"));
    StartFirst({QStringLiteral("NUL")});
    StopFirst();
    EXPECT_EQ(UserKey().ReadString(QStringLiteral("Recents")), QString());

    StartFirst();
    StopFirst();
    EXPECT_EQ(UserKey().ReadString(QStringLiteral("Recents")), QStringLiteral("$C0DE"));

    // QUIET stops what plays; the stored key then resumes nothing.
    StartFirst({QStringLiteral("PLAY"), QStringLiteral("$C1A2")});
    EXPECT_EQ(RunSecond({QStringLiteral("QUIET")}), 0);
    StopFirst();
    EXPECT_EQ(UserKey().ReadString(QStringLiteral("Playing")), QStringLiteral("$0000"));
}

// The launcher's minimised and maximised options store "HideBar"; a start without them leaves
// it as it was.
TEST_F(Program, ShowCommandOptions) {
    for (const auto& [options, hidden] :
         {std::pair{QStringList{"--minimized"}, 1}, std::pair{QStringList{}, 1},
          std::pair{QStringList{"--maximized"}, 0}}) {
        StartFirst(options);
        StopFirst();
        EXPECT_EQ(UserKey().ReadInteger(QStringLiteral("HideBar")), hidden)
            << options.join(u' ').toStdString();
    }
    EXPECT_FALSE(firstErr.contains("Invalid command line.")) << firstErr.toStdString();
}

// Without the receiver's registration the program refuses to run, before taking the lock.
TEST_F(Program, RefusesWithoutReceiver) {
    RegistryKey(RegistryKey::HiveFile(RegistryKey::Hive::Classes),
                QString::fromLatin1(IViadabRxInterfaceKey))
        .DeleteValue(QString());
    QProcess p;
    p.start(ProgramPath(), {});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_NE(p.exitCode(), 0);
    EXPECT_TRUE(
        p.readAllStandardError().contains("Tunora: error: Drivers not installed. Please install "
                                          "the software that came with you DAB receiver."));
    EXPECT_FALSE(QFile::exists(env.ProgramDir() + QStringLiteral("/Ensemble.csv")));
    EXPECT_FALSE(HandOverClient::Send(2, 0, QString()).has_value());
}

// RECODE turns MPEG audio on standard input into the asked format on standard output, before
// any receiver check, lock or table is involved.
TEST_F(Program, RecodeConvertsStandardInput) {
    RegistryKey(RegistryKey::HiveFile(RegistryKey::Hive::Classes),
                QString::fromLatin1(IViadabRxInterfaceKey))
        .DeleteValue(QString());
    const LayerTwoStream mp2 = MakeLayerTwo(48000, 2, 128, 1.0);
    QProcess p;
    p.start(ProgramPath(), {QStringLiteral("recode"), QStringLiteral("WAV")});
    ASSERT_TRUE(p.waitForStarted());
    p.write(reinterpret_cast<const char*>(mp2.Bytes.data()), qint64(mp2.Bytes.size()));
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QByteArray wav = p.readAllStandardOutput();
    EXPECT_TRUE(wav.startsWith("RIFF"));
    EXPECT_EQ(wav.size() - 44, qsizetype(mp2.PcmBytesPerFrame()) * mp2.Frames);
    EXPECT_FALSE(QFile::exists(env.ProgramDir() + QStringLiteral("/Ensemble.csv")));
}

// Registering the receiver creates the machine-wide defaults; --defaults adds missing ones only.
TEST_F(Program, RegistrationCreatesMachineDefaults) {
    ASSERT_EQ(
        QProcess::execute(ProgramPath(QStringLiteral("tunora-register-receiver")), QStringList()),
        0);
    EXPECT_EQ(MachineKey().ReadString(QStringLiteral("ServerPassword")).size(), 16);
    MachineKey().WriteString(QStringLiteral("ServerPassword"), QStringLiteral("mine"));
    MachineKey().DeleteValue(QStringLiteral("ServerPort"));
    ASSERT_EQ(QProcess::execute(ProgramPath(QStringLiteral("tunora-register-receiver")),
                                {u"--defaults"_qs}),
              0);
    EXPECT_EQ(MachineKey().ReadInteger(QStringLiteral("ServerPort")), 8080);
    EXPECT_EQ(MachineKey().ReadString(QStringLiteral("ServerPassword")), QStringLiteral("mine"));
}

// A headless run prints each service it starts and where to listen; where the machine-wide
// defaults cannot be created it says so once, with the command that creates them.
TEST_F(Program, HeadlessRunTellsWhatPlaysAndWhatIsMissing) {
    const QString base = u"http://"_qs + QSysInfo::machineHostName() + u":8080/"_qs;
    const QString blocker = env.File(QStringLiteral("blocked"));
    QFile(blocker).open(QIODevice::WriteOnly);
    for (const auto& [refused, where] :
         {std::pair{false, u"stream "_qs + base + u"49374.mp2, page "_qs + base + u"index.htm"_qs},
          {true, u"no HTTP server (\"ServerPort\" is 0)"_qs}}) {
        if (refused) {
            qputenv("TUNORA_MACHINE_HIVE",
                    (blocker + QStringLiteral("/Tunora.conf")).toLocal8Bit());
        }
        firstErr.clear();
        StartFirst({QStringLiteral("PLAY"), QStringLiteral("$C0DE")});
        StopFirst();
        EXPECT_EQ(first.readAllStandardOutput(),
                  "Tunora: playing Radio One ($C0DE); " + where.toLocal8Bit() + '\n');
        EXPECT_EQ(firstErr.count(
                      "are missing and this user may not create them in " + blocker.toLocal8Bit() +
                      "/Tunora.conf, so the HTTP server is off. " + "Create them once with: sudo " +
                      ProgramPath(u"tunora-register-receiver"_qs).toLocal8Bit() + " --defaults\n"),
                  refused ? 1 : 0)
            << firstErr.toStdString();
    }
}

// tunora-scan drops services no longer on air only with --remove-absent.
TEST_F(Program, ScanRemovesAbsentServicesOnlyWhenAsked) {
    for (const auto& [args, kept] :
         {std::pair{QStringList{}, true}, {QStringList{u"--remove-absent"_qs}, false}}) {
        ASSERT_EQ(QProcess::execute(ProgramPath(QStringLiteral("tunora-scan")), args), 0);
        QFile services(env.ProgramDir() + QStringLiteral("/Services.csv"));
        ASSERT_TRUE(services.open(QIODevice::ReadOnly));
        const QByteArray text = services.readAll();
        EXPECT_TRUE(text.contains("\"$C2A1\""));
        EXPECT_EQ(text.contains("\"$C0DE\""), kept) << args.join(u' ').toStdString();
    }
}

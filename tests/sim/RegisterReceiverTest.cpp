#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <cstdlib>

#include "platform/RegistryKey.h"
#include "receiver/IViadabRx.h"
#include "receiver/TReceiverComponent.h"
#include "tests/support/TestEnv.h"

namespace {

// The build's program folder: the simulated receiver and the registration command.
QString BinDir() {
    return QFileInfo(TestEnv::SimulatedReceiver()).absolutePath();
}

struct Outcome {
    int status = -1;
    QString err;
};

Outcome Register(const QStringList& args) {
    QProcess p;
    p.start(BinDir() + "/tunora-register-receiver", args);
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAllStandardError())};
}

QString Value(const char* key) {
    return RegistryKey(RegistryKey::HiveFile(RegistryKey::Hive::Classes), QString::fromLatin1(key))
        .ReadString(QString());
}

}  // namespace

// Registering writes the interface name and the library path (by default the simulated
// receiver beside the command) into the component hive; --unregister removes both.
TEST(RegisterReceiverTest, WritesAndRemovesTheRegistration) {
    TestEnv env;
    ASSERT_EQ(Register({}).status, 0);
    EXPECT_TRUE(TReceiverComponent::IsInstalled());
    EXPECT_EQ(Value(CoViadabRxServerKey), QDir(BinDir()).canonicalPath() + "/libviadab_sim.so");

    const QString other = env.File("program/libother.so");
    QFile(other).open(QIODevice::WriteOnly);
    QDir::setCurrent(env.File("program"));
    ASSERT_EQ(Register({"libother.so"}).status, 0);
    EXPECT_EQ(Value(CoViadabRxServerKey), other);

    ASSERT_EQ(Register({"--unregister"}).status, 0);
    const RegistryKey key(RegistryKey::HiveFile(RegistryKey::Hive::Classes),
                          QString::fromLatin1(IViadabRxInterfaceKey));
    EXPECT_FALSE(key.ValueExists(QString()));
    EXPECT_FALSE(
        RegistryKey(key.File(), QString::fromLatin1(CoViadabRxServerKey)).ValueExists(QString()));
}

// A missing library or a hive that cannot be written ends with a message and a failure status.
TEST(RegisterReceiverTest, RefusalsFailWithAMessage) {
    TestEnv env;
    const Outcome missing = Register({env.File("nothing.so")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains("no component library")) << missing.err.toStdString();

    // A hive whose folder is a plain file cannot be written, even by root.
    const QString blocker = env.File("blocker");
    QFile(blocker).open(QIODevice::WriteOnly);
    ::setenv("TUNORA_CLASSES_HIVE", (blocker + "/classes.conf").toLocal8Bit().constData(), 1);
    const Outcome refused = Register({});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains("cannot write the component hive"))
        << refused.err.toStdString();
    EXPECT_EQ(Register({"--bogus"}).status, 2);
}

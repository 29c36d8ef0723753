#include "tests/support/TestEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdlib>

#include "platform/RegistryKey.h"
#include "receiver/IViadabRx.h"

namespace {
void Set(const char* name, const QString& value) {
    ::setenv(name, value.toLocal8Bit().constData(), 1);
}
}  // namespace

TestEnv::TestEnv() {
    const QString root = dir_.path();
    for (const char* sub : {"config", "etc", "data", "runtime", "program", "tmp", "home"}) {
        QDir(root).mkpath(QString::fromLatin1(sub));
    }
    // The runtime folder must be private, as the session's is.
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Set("HOME", root + QStringLiteral("/home"));
    Set("XDG_CONFIG_HOME", root + QStringLiteral("/config"));
    Set("XDG_DATA_HOME", root + QStringLiteral("/data"));
    Set("XDG_RUNTIME_DIR", root + QStringLiteral("/runtime"));
    Set("TUNORA_USER_HIVE", root + QStringLiteral("/config/Tunora/Tunora.conf"));
    Set("TUNORA_MACHINE_HIVE", root + QStringLiteral("/etc/Tunora/Tunora.conf"));
    Set("TUNORA_CLASSES_HIVE", root + QStringLiteral("/etc/Tunora/classes.conf"));
    Set("TUNORA_PROGRAM_DIR", root + QStringLiteral("/program"));
    Set("TUNORA_RUNTIME_DIR", root + QStringLiteral("/runtime"));
}

QString TestEnv::ProgramDir() const {
    return dir_.path() + QStringLiteral("/program");
}

QString TestEnv::File(const QString& relative) const {
    return dir_.path() + QLatin1Char('/') + relative;
}

void TestEnv::RegisterReceiver(const QString& library) const {
    const QString classes = RegistryKey::HiveFile(RegistryKey::Hive::Classes);
    RegistryKey(classes, QString::fromLatin1(IViadabRxInterfaceKey))
        .WriteString(QString(), QStringLiteral("IViadabRx"));
    RegistryKey(classes, QString::fromLatin1(CoViadabRxServerKey)).WriteString(QString(), library);
}

QString TestEnv::SimulatedReceiver() {
    // ctest names the build's program folder; run by hand, the test sits in it.
    const QString bin =
        qEnvironmentVariable("TUNORA_TEST_BIN_DIR", QCoreApplication::applicationDirPath());
    return bin + QStringLiteral("/libviadab_sim.so");
}

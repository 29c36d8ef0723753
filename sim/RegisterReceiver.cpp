// tunora-register-receiver [--unregister | --defaults] [LIBRARY]
// Records the receiver component in the component hive: the interface key's default value
// "IViadabRx" (the program's "receiver installed" check) and the class key's default value, the
// absolute path of the component library (default: libviadab_sim.so beside this command).
// Registering also creates the machine-wide settings the program's first start would create
// ("ServerPort", "ServerPassword") where they are missing: it runs as root, the program mostly
// does not. --defaults does only the latter; --unregister deletes both registration values and
// leaves the settings alone. Exit status 0 on success, 1 when a hive refuses the write or the
// library is missing, 2 on a usage error.

#include <QFileInfo>
#include <QString>
#include <cstdio>
#include <cstring>

#include "platform/RegistryError.h"
#include "platform/RegistryKey.h"
#include "receiver/IViadabRx.h"
#include "services/TSettingsWrapper.h"
#include "shell/Startup.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: tunora-register-receiver [--unregister | --defaults] [LIBRARY]\n");
    return 2;
}

QString DefaultLibrary() {
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    return QFileInfo(self.canonicalFilePath()).absolutePath() + QStringLiteral("/libviadab_sim.so");
}

// The machine-wide defaults, where missing. 0 on success, 1 when the hive refuses them.
int CreateMachineDefaults() {
    RegistryKey machine(RegistryKey::HiveFile(RegistryKey::Hive::Machine),
                        TSettingsWrapper::KeyPath());
    try {
        const QStringList written = Startup::CreateMachineDefaults(machine);
        if (!written.isEmpty()) {
            std::printf("Machine-wide settings %s created in %s\n",
                        qPrintable(written.join(QStringLiteral(", "))), qPrintable(machine.File()));
        }
    } catch (const RegistryError& e) {
        std::fprintf(stderr,
                     "tunora-register-receiver: cannot write the machine-wide settings %s: %s\n",
                     qPrintable(machine.File()), e.what());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    bool unregister = false;
    bool defaultsOnly = false;
    QString library;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--unregister") == 0) {
            unregister = true;
        } else if (std::strcmp(argv[i], "--defaults") == 0) {
            defaultsOnly = true;
        } else if (argv[i][0] == '-' || !library.isEmpty()) {
            return Usage();
        } else {
            library = QFileInfo(QString::fromLocal8Bit(argv[i])).absoluteFilePath();
        }
    }
    if ((unregister && (defaultsOnly || !library.isEmpty())) ||
        (defaultsOnly && !library.isEmpty())) {
        return Usage();
    }
    if (defaultsOnly) {
        return CreateMachineDefaults();
    }
    const QString hive = RegistryKey::HiveFile(RegistryKey::Hive::Classes);
    RegistryKey interfaceKey(hive, QString::fromLatin1(IViadabRxInterfaceKey));
    RegistryKey serverKey(hive, QString::fromLatin1(CoViadabRxServerKey));
    try {
        if (unregister) {
            interfaceKey.DeleteValue(QString());
            serverKey.DeleteValue(QString());
            std::printf("Receiver component unregistered from %s\n", qPrintable(hive));
            return 0;
        }
        if (library.isEmpty()) {
            library = DefaultLibrary();
        }
        if (!QFileInfo(library).isFile()) {
            std::fprintf(stderr, "tunora-register-receiver: no component library at %s\n",
                         qPrintable(library));
            return 1;
        }
        interfaceKey.WriteString(QString(), QString::fromLatin1(IViadabRxInterfaceName));
        serverKey.WriteString(QString(), library);
    } catch (const RegistryError& e) {
        std::fprintf(stderr, "tunora-register-receiver: cannot write the component hive %s: %s\n",
                     qPrintable(hive), e.what());
        return 1;
    }
    std::printf("Receiver component %s registered in %s\n", qPrintable(library), qPrintable(hive));
    return CreateMachineDefaults();
}

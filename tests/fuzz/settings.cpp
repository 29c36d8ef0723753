// Settings hives: any file reads without fault, and a value written reads back as written.
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

#include "platform/RegistryError.h"
#include "platform/RegistryKey.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir folder;
    const QString hive = folder.filePath(QStringLiteral("Tunora.conf"));
    QFile file(hive);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size)) {
        std::abort();
    }
    file.close();
    RegistryKey key(hive, QStringLiteral("\\Software\\Tunora\\Tunora"));
    for (const QString name : {QStringLiteral("Width"), QStringLiteral("Playing"), QString()}) {
        try {
            key.ValueExists(name);
            key.ReadInteger(name);
        } catch (const RegistryError&) {
        }
        try {
            key.ReadString(name);
        } catch (const RegistryError&) {
        }
    }
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    key.WriteString(QStringLiteral("Playing"), text);
    key.WriteInteger(QStringLiteral("Width"), static_cast<std::int32_t>(size) - 100);
    if (key.ReadString(QStringLiteral("Playing")) != text ||
        key.ReadInteger(QStringLiteral("Width")) != static_cast<std::int32_t>(size) - 100) {
        std::abort();
    }
    key.DeleteValue(QStringLiteral("Playing"));
    return 0;
}

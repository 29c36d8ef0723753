// Settings hives: any file reads without fault, the stored service lists included, a value
// written reads back as written, and a write keeps the other lines byte for byte.
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

#include "platform/HeadlessDialogs.h"
#include "platform/RegistryError.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"

namespace {

void Put(const QString& path, const char* data, qint64 size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data, size) != size) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir folder;
    static HeadlessDialogs dialogs;
    static const QString hive = folder.filePath(QStringLiteral("Tunora.conf"));
    // Two services for the stored lists to name.
    static const QString tablesFolder = [] {
        const char* services =
            "\"$C2A1\",\"0\",\"225.648\",\"One\",\"A\",\"10\"\r\n"
            "\"$C2A2\",\"1\",\"225.648\",\"Two\",\"A\",\"0\"\r\n";
        Put(folder.filePath(QStringLiteral("Services.csv")), services, qint64(qstrlen(services)));
        return folder.path();
    }();
    static TServiceTablesWrapper tables(tablesFolder, dialogs);
    static RegistryKey key(hive, TSettingsWrapper::KeyPath());
    static TSettingsWrapper settings(key, key, tables, 0, 1024);

    Put(hive, reinterpret_cast<const char*>(data), qint64(size));
    // A key of its own is appended after the file's lines, which stay as they were.
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!bytes.toLower().contains("probe")) {
        RegistryKey(hive, QStringLiteral("Software\\Fuzz\\Probe")).WriteInteger(QString(), 1);
        QFile written(hive);
        const QByteArray kept = bytes.isEmpty() || bytes.endsWith('\n') ? bytes : bytes + '\n';
        if (!written.open(QIODevice::ReadOnly) || !written.readAll().startsWith(kept)) {
            std::abort();
        }
    }
    TListEntries list;
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
    try {
        settings.GetFavourites(list);
        settings.GetRecents(list, true);
        settings.AddRecent(1);
    } catch (const RegistryError&) {
    }
    const QString text = QString::fromUtf8(bytes);
    key.WriteString(QStringLiteral("Playing"), text);
    key.WriteInteger(QStringLiteral("Width"), static_cast<std::int32_t>(size) - 100);
    if (key.ReadString(QStringLiteral("Playing")) != text ||
        key.ReadInteger(QStringLiteral("Width")) != static_cast<std::int32_t>(size) - 100) {
        std::abort();
    }
    return 0;
}

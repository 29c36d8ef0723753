// Services.csv and Ensemble.csv: any files load without fault, and a saved table reads back the
// same.
#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

#include "platform/HeadlessDialogs.h"
#include "services/TServiceTablesWrapper.h"

namespace {

void Put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::abort();
    }
}

QByteArray Written(const TServiceTablesWrapper& tables, bool services) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    services ? tables.WriteServices(buffer) : tables.WriteEnsembles(buffer);
    return buffer.data();
}

}  // namespace

// Input: Services.csv up to the first form feed, Ensemble.csv after it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir folder;
    static HeadlessDialogs dialogs;
    static TServiceTablesWrapper tables(folder.path(), dialogs);
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype cut = bytes.indexOf('\f');
    Put(folder.filePath(QStringLiteral("Services.csv")), bytes.left(cut));
    Put(folder.filePath(QStringLiteral("Ensemble.csv")),
        cut < 0 ? QByteArray() : bytes.mid(cut + 1));
    tables.LoadTables();
    TListEntries list;
    tables.ListServices(list, u'A', true, 0);
    tables.ListEnsembles(list, true, true);
    for (const TServiceRecord& service : tables.Services()) {
        tables.FindServiceByKey(tables.GetServiceKey(service.ServiceID, true, u':'));
        tables.GetChannelName(service.Frequency);
    }
    const QByteArray services = Written(tables, true);
    const QByteArray ensembles = Written(tables, false);
    Put(folder.filePath(QStringLiteral("Services.csv")), services);
    Put(folder.filePath(QStringLiteral("Ensemble.csv")), ensembles);
    tables.LoadTables();
    if (Written(tables, true) != services || Written(tables, false) != ensembles) {
        std::abort();
    }
    return 0;
}

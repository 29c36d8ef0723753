#include "services/DamagedFile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include "platform/Dialogs.h"

namespace {

// A dated name that no earlier copy has, so a second damaged file never replaces the backup of
// the first; ".bad" keeps it out of anything that reads the folder's ".csv" files.
QString BackupName(const QString& path) {
    const QString stem =
        path + u'.' + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = stem + QStringLiteral(".bad");
    for (int n = 2; QFileInfo::exists(name); ++n) {
        name = stem + u'-' + QString::number(n) + QStringLiteral(".bad");
    }
    return name;
}

}  // namespace

void DamagedFile::Keep(const QString& path, bool readable, Dialogs& dialogs) {
    static QSet<QString> kept;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (kept.contains(absolute)) {
        return;
    }
    kept.insert(absolute);
    const QString backup = BackupName(absolute);
    const bool done = readable ? QFile::copy(absolute, backup) : QFile::rename(absolute, backup);
    const QString name = QFileInfo(absolute).fileName();
    dialogs.MessageBox(
        DialogKind::Warning,
        done ? name + QStringLiteral(" could not be read completely.\n\rIt was kept as ") +
                   QFileInfo(backup).fileName() +
                   QStringLiteral(" before being replaced with what could be read.")
             : name + QStringLiteral(" could not be read completely, and no copy of it could be "
                                     "kept.\n\rIt will be replaced with what could be read."),
        DialogButtons::Ok);
}

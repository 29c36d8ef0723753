#include "platform/RuntimeFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

namespace {

// A folder in /tmp that someone else made (or a link) must not hold our lock and socket.
bool PrivateFolder(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    ::mkdir(path.constData(), 0700);
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

}  // namespace

QString RuntimeFolder::Path() {
    QString folder = qEnvironmentVariable("TUNORA_RUNTIME_DIR");
    if (folder.isEmpty()) {
        folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    }
    if (folder.isEmpty()) {
        folder = QStringLiteral("/tmp/tunora-%1").arg(::getuid());
        if (PrivateFolder(folder)) {
            return folder;
        }
        folder = QDir::homePath() + QStringLiteral("/.cache/tunora-runtime");
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return folder;
    }
    folder = QDir::cleanPath(folder);
    QDir().mkpath(folder);
    return folder;
}

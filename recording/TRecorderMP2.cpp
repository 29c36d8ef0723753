#include "recording/TRecorderMP2.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>

TRecorderMP2::TRecorderMP2(std::int32_t serviceId, const TServiceTablesWrapper& tables,
                           const QString& fileName)
    : TRecorder(serviceId, tables) {
    KeepAsBackup(fileName);
    const QByteArray path = QFile::encodeName(fileName);
    if (path.isEmpty()) {
        return;
    }
    // Appending keeps every block at the end even if something else moved the offset.
    FileStream.Reset(
        ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0666));
}

TRecorderMP2::~TRecorderMP2() = default;

void TRecorderMP2::WriteBlock(const std::uint8_t* buffer, std::int32_t count) {
    if (!FileStream.IsValid() || count <= 0) {
        return;
    }
    std::int32_t done = 0;
    while (done < count) {
        const ssize_t written = ::write(FileStream.Get(), buffer + done, count - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;  // disk full or gone: this block is lost, the next one is tried afresh
        }
        done += static_cast<std::int32_t>(written);
    }
}

QString TRecorderMP2::BackupName(const QString& fileName) {
    const QFileInfo info(fileName);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString stem = dot < 0 ? name : name.left(dot);
    const QString folder = fileName.left(fileName.size() - name.size());
    return folder + stem + QStringLiteral(".bak");
}

void TRecorderMP2::KeepAsBackup(const QString& fileName) {
    if (fileName.isEmpty() || !QFileInfo::exists(fileName)) {
        return;
    }
    const QString backup = BackupName(fileName);
    if (backup == fileName) {
        return;  // the recording itself is named ".bak": nothing sensible to keep
    }
    QFile::remove(backup);
    QFile::rename(fileName, backup);
}

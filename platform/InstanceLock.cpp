#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <utility>

#include "platform/RuntimeFolder.h"

InstanceLock::InstanceLock() : InstanceLock(DefaultFile()) {}

InstanceLock::InstanceLock(QString lockFile) : file_(std::move(lockFile)) {}

InstanceLock::~InstanceLock() {
    Release();
}

QString InstanceLock::DefaultFile() {
    return RuntimeFolder::Path() + QStringLiteral("/TunoraRunning.lock");
}

bool InstanceLock::TryAcquire() {
    if (fd_.IsValid()) {
        return true;
    }
    QDir().mkpath(QFileInfo(file_).absolutePath());
    FileDescriptor fd(
        ::open(QFile::encodeName(file_).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!fd.IsValid()) {
        return false;
    }
    int r;
    do {
        r = ::flock(fd.Get(), LOCK_EX | LOCK_NB);
    } while (r != 0 && errno == EINTR);
    if (r != 0) {
        return false;
    }
    fd_ = std::move(fd);
    // The holder's process id, for whoever looks at the file; nothing reads it back.
    const QByteArray pid = QByteArray::number(static_cast<qlonglong>(::getpid())) + '\n';
    if (::ftruncate(fd_.Get(), 0) == 0) {
        [[maybe_unused]] const ssize_t written =
            ::pwrite(fd_.Get(), pid.constData(), pid.size(), 0);
    }
    return true;
}

void InstanceLock::Release() {
    // Closing the only descriptor of this open file drops the lock. The file stays: removing it
    // would let a newcomer lock a fresh file while another still waits on the old one.
    fd_.Reset();
}

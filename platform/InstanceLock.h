#pragma once

#include <QString>

#include "platform/FileDescriptor.h"

// The single-instance lock "TunoraRunning": an flock on "TunoraRunning.lock" in the runtime
// folder. The kernel drops it when the holding process ends in any way, so a crash leaves no
// stale lock. Not copyable; one object per attempt. Any thread, but not shared between threads.
class InstanceLock {
public:
    // The lock file in the runtime folder.
    InstanceLock();
    explicit InstanceLock(QString lockFile);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    static QString DefaultFile();

    // True when this object now holds the lock (or already did). False when another holder
    // exists, and also when the lock file cannot be made at all: any failure to take it means
    // "hand over".
    bool TryAcquire();
    void Release();
    bool IsHeld() const { return fd_.IsValid(); }
    const QString& File() const { return file_; }

private:
    QString file_;
    FileDescriptor fd_;
};

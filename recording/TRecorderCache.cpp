#include "recording/TRecorderCache.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

bool WriteAllAt(int fd, const std::uint8_t* data, std::size_t count, off_t at) {
    while (count > 0) {
        const ssize_t written = ::pwrite(fd, data, count, at);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        count -= static_cast<std::size_t>(written);
        at += written;
    }
    return true;
}

bool ReadAllAt(int fd, std::uint8_t* data, std::size_t count, off_t at) {
    while (count > 0) {
        const ssize_t got = ::pread(fd, data, count, at);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        data += got;
        count -= static_cast<std::size_t>(got);
        at += got;
    }
    return true;
}

}  // namespace

TRecorderCache::TRecorderCache(std::int32_t serviceId, const TServiceTablesWrapper& tables)
    : TRecorder(serviceId, tables) {
    QByteArray pattern = QFile::encodeName(QDir::tempPath() + QStringLiteral("/dabXXXXXX"));
    CacheStream.Reset(::mkstemp(pattern.data()));
    if (CacheStream.IsValid()) {
        CacheFileName_ = QFile::decodeName(pattern);
    }
}

TRecorderCache::~TRecorderCache() {
    std::unique_ptr<TRecorder> target;
    {
        const std::lock_guard lock(mutex_);
        if (CacheStream.IsValid() && Target_) {
            DrainLocked(-1);
        }
        ReleaseCacheLocked();
        target = std::move(Target_);
    }
    target.reset();
}

void TRecorderCache::WriteBlock(const std::uint8_t* buffer, std::int32_t count) {
    if (count < 0) {
        return;
    }
    const std::lock_guard lock(mutex_);
    if (CacheStream.IsValid()) {
        std::vector<std::uint8_t> record(4 + static_cast<std::size_t>(count));
        const std::uint32_t length = static_cast<std::uint32_t>(count);
        for (int i = 0; i < 4; ++i) {
            record[i] = static_cast<std::uint8_t>(length >> (8 * i));
        }
        if (count > 0) {
            std::memcpy(record.data() + 4, buffer, static_cast<std::size_t>(count));
        }
        // A failed write leaves WritePosition where it was, so the next record overwrites the
        // partial one and the file stays readable; only this block is lost.
        if (WriteAllAt(CacheStream.Get(), record.data(), record.size(), WritePosition)) {
            WritePosition += static_cast<std::int64_t>(record.size());
        }
    }
    if (!Target_) {
        return;
    }
    if (CacheStream.IsValid()) {
        DrainLocked(2);
    } else {
        Target_->WriteBlock(buffer, count);
    }
}

void TRecorderCache::SetTarget(std::unique_ptr<TRecorder> target) {
    std::unique_ptr<TRecorder> previous;
    {
        const std::lock_guard lock(mutex_);
        previous = std::move(Target_);
        Target_ = std::move(target);
    }
}

void TRecorderCache::DrainLocked(int records) {
    const std::int64_t size = WritePosition;
    int moved = 0;
    bool unreadable = false;
    while (ReadPosition_ < size && (records < 0 || moved < records)) {
        std::uint8_t header[4];
        if (!ReadAllAt(CacheStream.Get(), header, 4, ReadPosition_)) {
            unreadable = true;
            break;
        }
        const std::int32_t length = static_cast<std::int32_t>(
            std::uint32_t(header[0]) | std::uint32_t(header[1]) << 8 |
            std::uint32_t(header[2]) << 16 | std::uint32_t(header[3]) << 24);
        if (length < 0 || ReadPosition_ + 4 + length > size) {
            unreadable = true;
            break;
        }
        std::vector<std::uint8_t> block(static_cast<std::size_t>(length));
        if (length > 0 &&
            !ReadAllAt(CacheStream.Get(), block.data(), block.size(), ReadPosition_ + 4)) {
            unreadable = true;
            break;
        }
        Target_->WriteBlock(block.data(), length);
        ReadPosition_ += 4 + length;
        ++moved;
    }
    // A cache that cannot be read back any further is given up rather than retried forever:
    // the rest of the backlog is lost, new blocks go straight through.
    if (ReadPosition_ >= size || unreadable) {
        ReleaseCacheLocked();
    }
}

void TRecorderCache::ReleaseCacheLocked() {
    CacheStream.Reset();
    if (!CacheFileName_.isEmpty()) {
        QFile::remove(CacheFileName_);
    }
}

QString TRecorderCache::CacheFileName() const {
    const std::lock_guard lock(mutex_);
    return CacheFileName_;
}

bool TRecorderCache::HasCache() const {
    const std::lock_guard lock(mutex_);
    return CacheStream.IsValid();
}

std::int64_t TRecorderCache::ReadPosition() const {
    const std::lock_guard lock(mutex_);
    return ReadPosition_;
}

TRecorder* TRecorderCache::Target() const {
    const std::lock_guard lock(mutex_);
    return Target_.get();
}

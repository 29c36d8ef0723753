#include "platform/FileDescriptor.h"

#include <fcntl.h>
#include <unistd.h>

FileDescriptor::FileDescriptor(int fd) : fd_(fd < 0 ? -1 : fd) {}

FileDescriptor::~FileDescriptor() {
    Reset();
}

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        Reset(other.Release());
    }
    return *this;
}

void FileDescriptor::Reset(int fd) {
    const int previous = std::exchange(fd_, fd < 0 ? -1 : fd);
    if (previous >= 0 && previous != fd_) {
        // Not retried on EINTR: Linux has released the number either way, and a retry could
        // close one that another thread has just been given.
        ::close(previous);
    }
}

int FileDescriptor::Release() {
    return std::exchange(fd_, -1);
}

std::pair<FileDescriptor, FileDescriptor> FileDescriptor::Pipe(int flags) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | flags) != 0) {
        return {};
    }
    return {FileDescriptor(ends[0]), FileDescriptor(ends[1])};
}

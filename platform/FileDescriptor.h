#pragma once

#include <utility>

// Owns one file descriptor (a file, pipe end or socket) and closes it exactly once: on
// destruction, on Reset, or when another one is moved in. -1 is none. Move-only; the owner's
// thread closes it, though other threads may use the number while the owner keeps it open.
class FileDescriptor {
public:
    FileDescriptor() = default;
    // Takes `fd` (-1 or any negative: none), e.g. straight from open(2) or socket(2).
    explicit FileDescriptor(int fd);
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    bool IsValid() const { return fd_ >= 0; }
    // The number for system calls; -1 when none.
    int Get() const { return fd_; }
    // Closes the descriptor held (if any) and holds `fd` instead.
    void Reset(int fd = -1);
    // Gives the descriptor up without closing it; -1 when none.
    int Release();

    // A pipe, read end first, both ends close-on-exec plus `flags` (e.g. O_NONBLOCK); both
    // invalid when the system refuses one (errno set).
    static std::pair<FileDescriptor, FileDescriptor> Pipe(int flags = 0);

private:
    int fd_ = -1;
};

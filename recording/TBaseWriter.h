#pragma once

#include <cstddef>
#include <cstdint>

// Base of the writers that turn PCM (or raw bytes) into an output file. Writes go to an open
// file descriptor given by the creator and never closed by the writer: a file, or a pipe. Write
// errors are dropped; a pipe whose reader is gone raises SIGPIPE as for any write, so a process
// that must survive that ignores the signal. Destroying a writer finishes its output. One thread.
class TBaseWriter {
public:
    explicit TBaseWriter(int fileHandle) : FileHandle(fileHandle) {}
    virtual ~TBaseWriter();
    TBaseWriter(const TBaseWriter&) = delete;
    TBaseWriter& operator=(const TBaseWriter&) = delete;

    virtual void Write(const std::uint8_t* buffer, int count) = 0;

protected:
    // Appends at the descriptor's position, retrying short and interrupted writes; false when
    // not every byte went out.
    bool Append(const void* data, std::size_t count);

    const int FileHandle;
};

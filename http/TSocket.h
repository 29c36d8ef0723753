#pragma once

#include <cstddef>
#include <cstdint>

#include "http/TSocketAddress.h"
#include "platform/FileDescriptor.h"

// Owns one socket descriptor (closed by the destructor). Blocking; the time-outs of a connection
// are its receive and send time-outs. Not thread-safe except Shutdown, which another thread may
// call to wake a blocked Receive/Send/WaitReadable as long as the owner has not closed it.
class TSocket {
public:
    TSocket() = default;
    explicit TSocket(int fd) : fd_(fd) {}

    // A listening socket on every address: IPv6 with IPv4 mapped in (one socket serves both),
    // or IPv4 alone when the system has no IPv6. Port 0 takes a free port (see LocalAddress).
    // Invalid socket on failure, with errno set.
    static TSocket Listen(std::uint16_t port);
    // A connection from a listening socket; invalid when none (errno set).
    TSocket Accept() const;
    // A connection to `address` (tests and tools).
    static TSocket Connect(const TSocketAddress& address);

    bool IsValid() const { return fd_.IsValid(); }
    int Descriptor() const { return fd_.Get(); }
    void Close();
    // Drops what has arrived unread (up to 64 KiB), without waiting, so that closing does not
    // reset the connection under a response the peer has yet to read.
    void DiscardPending() const;
    // Ends both directions without releasing the descriptor.
    void Shutdown() const;
    // Ends the sending direction only: the peer reads everything sent, then the end.
    void ShutdownSending() const;

    // Receive and send time-outs in milliseconds.
    void SetTimeouts(int milliseconds) const;
    // 1 data or end of stream waiting, 0 time-out, -1 failure or hang-up with nothing to read.
    int WaitReadable(int milliseconds) const;
    // Bytes read; 0 at end of stream; -1 on failure or time-out.
    std::ptrdiff_t Receive(void* buffer, std::size_t size) const;
    // Writes everything; false when the peer is gone or the send time-out passed.
    bool SendAll(const void* data, std::size_t size) const;

    TSocketAddress LocalAddress() const;
    TSocketAddress PeerAddress() const;

private:
    FileDescriptor fd_;
};

#pragma once

#include <QByteArray>
#include <atomic>
#include <chrono>
#include <unordered_map>
#include <vector>

#include "http/TSocket.h"
#include "platform/FileDescriptor.h"

// Connections that have not completed their request head, watched in one epoll set instead of
// holding a session thread each. Reads a head the way a session would (1024 bytes at a time, at
// most 4096 in all); a connection leaves the set when its head is complete (handed on with the
// bytes read), or is closed without an answer when its peer ends it, the head outgrows the
// buffer, nothing arrives for 30 s, or the server needs its room (Evict).
//
// Used by one thread (the server's acceptor); only Count may be read from any thread.
class TRequestHeadSet {
public:
    static constexpr int kBufferSize = 4096;
    static constexpr int kReadSize = 1024;
    static constexpr int kIdleSeconds = 30;

    // A connection with its complete head (and whatever arrived with it).
    struct Request {
        TSocket socket;
        QByteArray head;
    };

    TRequestHeadSet();
    // Closes every connection still waiting.
    ~TRequestHeadSet();

    TRequestHeadSet(const TRequestHeadSet&) = delete;
    TRequestHeadSet& operator=(const TRequestHeadSet&) = delete;

    bool IsValid() const { return epoll_.IsValid(); }
    // Readable (for poll) while some connection has something to read.
    int Descriptor() const { return epoll_.Get(); }
    // Connections waiting; any thread.
    int Count() const { return count_.load(std::memory_order_relaxed); }

    // Watches `socket`; closes it when it cannot be watched.
    void Add(TSocket socket);
    // Closes every connection still waiting.
    void CloseAll();
    // Closes the connection that has waited longest; false when none waits.
    bool EvictOldest();
    // Reads what has arrived without blocking, closes the connections that ended or timed out,
    // and returns those whose head is now complete (no longer in the set).
    std::vector<Request> Collect();

private:
    using Clock = std::chrono::steady_clock;
    struct Waiting {
        TSocket socket;
        QByteArray bytes;
        Clock::time_point since;     // accepted
        Clock::time_point deadline;  // idle time-out, moved on by every read
    };
    enum class Outcome { Waiting, Complete, Closed };

    Outcome Read(Waiting& waiting);
    void Close(int fd);

    FileDescriptor epoll_;
    std::unordered_map<int, Waiting> waiting_;  // by descriptor
    std::atomic<int> count_{0};
    Clock::time_point nextSweep_;
};

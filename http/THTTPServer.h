#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "http/THTTPSessionContext.h"
#include "http/TRequestHeadSet.h"
#include "http/TSocket.h"
#include "http/TSocketAddress.h"
#include "platform/FileDescriptor.h"

class TMainControl;
class TServiceTablesWrapper;
class TSettingsWrapper;
class THTTPSessionThread;

// The HTTP server: a listening socket on every address (IPv6 with IPv4 mapped in, or IPv4 alone
// without IPv6), an accepting thread that also watches every connection until its request head
// is complete, one blocking session thread per complete request, with up to six idle session
// threads kept for reuse, and one writer thread for every live stream. At most 1024 connections
// at a time, streams included: at the cap a newcomer takes the place of the oldest connection
// that has not completed its request head yet (a flood of silent connections cannot lock
// listeners out), and is closed at once only when there is none.
//
// Created and destroyed on the controller's (main) thread. Sessions get everything they use from
// one context; they reach the controller only through its CallController, which hands the call to
// the main thread and waits. The destructor marks the server stopping first (later calls are
// skipped), stops accepting, wakes every session and runs their pending hand-offs itself while it
// waits for them, so it never waits on a session that waits on it; then it ends every stream.
// Every recorder has been taken back when it returns.
class THTTPServer {
public:
    // Judges the connection's local address for the password exemption; loopback by default.
    using LocalCheck = THTTPSessionContext::LocalCheck;

    static constexpr int kIdleThreads = 6;
    static constexpr int kMaxSessions = 1024;
    // How long the acceptor waits for a connection before it joins the threads that ended.
    static constexpr int kReapMs = 1000;

    // Listens on the setting "ServerPort" when it is not 0; when that fails, or the value is
    // outside 1..65535, shows "Unable to start HTTP server on port <n>." and goes on without
    // listening. The collaborators are not
    // owned and must outlive the server.
    THTTPServer(TSettingsWrapper& settings, TServiceTablesWrapper& tables, TMainControl& control);
    // Listens on `port` (0: a free port, see Port), whatever the setting says, serving at most
    // `maxSessions` connections at once.
    THTTPServer(TSettingsWrapper& settings, TServiceTablesWrapper& tables, TMainControl& control,
                std::uint16_t port, LocalCheck isLocal = {}, int maxSessions = kMaxSessions);
    ~THTTPServer();

    THTTPServer(const THTTPServer&) = delete;
    THTTPServer& operator=(const THTTPServer&) = delete;

    bool IsActive() const { return listener_.IsValid(); }
    // The port listened on (the one the system chose for port 0); 0 when not listening.
    std::uint16_t Port() const { return port_; }
    // Connections open that are not streams (waiting for their head or being served), and
    // session threads waiting for one.
    int SessionCount() const;
    int IdleThreadCount() const;
    // Connections waiting for their request head (they hold no session thread).
    int HeadWaitCount() const;
    // Live streams (served by the writer).
    int StreamCount() const;

    // Any thread.
    TSettingsWrapper& Settings() const { return settings_; }
    TServiceTablesWrapper& Tables() const { return tables_; }
    TMainControl& Control() const { return control_; }
    bool IsLocal(const TSocketAddress& local) const { return context_.IsLocal(local); }
    bool IsStopping() const { return context_.IsStopping(); }
    bool CallController(const std::function<void()>& task, bool evenWhenStopping = false) {
        return context_.CallController(task, evenWhenStopping);
    }
    // A session thread has finished its connection: it waits here in the idle cache for the
    // next one. An invalid socket tells it to end (cache full or server stopping).
    TRequestHeadSet::Request NextConnection(THTTPSessionThread* session);

private:
    void Listen(std::uint16_t port, bool showFailure);
    void AcceptLoop(std::stop_token stop);
    // A new connection: into the waiting set, unless the cap is reached and none can be
    // evicted. Acceptor thread.
    void Admit(TSocket client);
    // A complete request to an idle session thread, or a new one. Acceptor thread.
    void Hand(TRequestHeadSet::Request request);
    // Joins and frees the threads that have ended; caller holds lock_.
    void ReapLocked();

    TSettingsWrapper& settings_;
    TServiceTablesWrapper& tables_;
    TMainControl& control_;
    int maxSessions_ = kMaxSessions;
    THTTPSessionContext context_;

    TSocket listener_;
    std::uint16_t port_ = 0;
    // Written once by the destructor to wake the acceptor out of its poll.
    FileDescriptor wakeRead_;
    FileDescriptor wakeWrite_;
    // The acceptor thread's own (its destructor closes what still waits).
    TRequestHeadSet waiting_;
    std::jthread acceptor_;

    struct Entry {
        std::unique_ptr<THTTPSessionThread> session;
        enum class Phase { Busy, Idle, Ended } phase = Phase::Busy;
        TRequestHeadSet::Request next;  // the connection handed to an idle thread
    };
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::list<Entry> threads_;
    int busy_ = 0;
    int idle_ = 0;
};

// The running program's server (null when "ServerPort" is 0, and in tests).
extern THTTPServer* HTTPServer;

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

#include "http/TRequestHeadSet.h"
#include "http/TSocket.h"

class THTTPSessionContext;

// Serves connections one after another on its own thread: each comes with its complete request
// head (read by the server while it waited), which the thread answers; a stream request, once
// checked, is handed to the stream writer, and the thread is free for the next connection.
// Between connections it waits in the server's idle cache.
//
// Abort is for other threads (the server's).
class THTTPSessionThread {
public:
    // Session states.
    static constexpr std::uint8_t kFinished = 0;
    static constexpr std::uint8_t kReading = 1;
    static constexpr std::uint8_t kProcessing = 2;
    static constexpr std::uint8_t kStreaming = 3;
    static constexpr std::uint8_t kClosing = 4;

    static constexpr int kSocketTimeoutMs = 8000;
    static constexpr int kStreamDelayMs = 1200;

    using Request = TRequestHeadSet::Request;
    // The server's answer to a thread that has finished a connection: the next one, or an
    // invalid socket to end the thread.
    using NextConnection = std::function<Request(THTTPSessionThread*)>;

    // Starts the thread on its first connection. The context outlives the thread.
    THTTPSessionThread(THTTPSessionContext& context, Request first, NextConnection next);
    // Asks the thread to stop and joins it.
    ~THTTPSessionThread();

    THTTPSessionThread(const THTTPSessionThread&) = delete;
    THTTPSessionThread& operator=(const THTTPSessionThread&) = delete;

    // Ends the current connection and the thread as soon as it can (server shut-down).
    void Abort();

private:
    void Execute(std::stop_token stop);
    void Serve(Request request);
    void CleanUp();
    void ProcessRequest();

    bool SendBytes(const QByteArray& bytes);
    void SendStream(const QString& name);
    void SendRawStream(const QString& name);
    void SendPlaylist(const QString& name);
    void SendServicePicture(const QString& name, int size);
    void SendServiceIcon(const QString& name);
    // Hands the connection to the stream writer, which after `delayMs` claims the receiver for
    // the service and sends `head` and the stream, or what `refused` makes when the receiver is
    // not free for it.
    void StartStream(std::int32_t serviceId, QByteArray head, int metaInterval,
                     const QString& serviceName,
                     std::function<QByteArray(bool notDecodable)> refused, int delayMs);

    QString GetHeader(const QString& name) const;
    QString GetHost(bool addPort) const;
    bool Authenticated() const;
    void CloseSession();

    THTTPSessionContext& context_;
    NextConnection next_;
    std::stop_token stop_;

    // ClientSocket's descriptor is closed (or handed on) only under socketLock_, so Abort may
    // shut it down from another thread.
    mutable std::mutex socketLock_;
    TSocket ClientSocket;
    std::atomic<bool> connected_{false};
    Request first_;

    std::atomic<std::uint8_t> State{kFinished};
    QStringList RequestLines;

    // Last: built in place, so its stop state exists before the thread runs and every member
    // above is ready for it.
    std::jthread thread_;
};

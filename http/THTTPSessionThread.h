#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

#include "http/TSocket.h"

class THTTPServer;
class TRecorderHTTP;

// Serves connections one after another on its own thread: reads one request, answers it, and
// either closes the connection or streams a service's audio until the client goes, a write
// fails or no audio came for 30 s. Between connections it waits in the server's idle cache.
//
// Enqueue is the only entry for other threads (the receiver's data thread), besides Abort.
class THTTPSessionThread {
public:
    // Session states.
    static constexpr std::uint8_t kFinished = 0;
    static constexpr std::uint8_t kReading = 1;
    static constexpr std::uint8_t kProcessing = 2;
    static constexpr std::uint8_t kStreaming = 3;
    static constexpr std::uint8_t kClosing = 4;

    static constexpr int kBufferSize = 4096;
    static constexpr int kReadSize = 1024;
    static constexpr int kWaitMs = 1000;
    static constexpr int kIdleSeconds = 30;
    static constexpr int kSocketTimeoutMs = 8000;
    static constexpr int kSendPauseMs = 500;
    static constexpr int kStreamDelayMs = 1200;
    // The queue never holds this many blocks: at this count it is cut to kQueueKeep.
    static constexpr std::size_t kQueueLimit = 256;
    static constexpr std::size_t kQueueKeep = 64;

    // Starts the thread on its first connection.
    THTTPSessionThread(THTTPServer& server, TSocket client);
    // Asks the thread to stop and joins it.
    ~THTTPSessionThread();

    THTTPSessionThread(const THTTPSessionThread&) = delete;
    THTTPSessionThread& operator=(const THTTPSessionThread&) = delete;

    // Ends the current connection and the thread as soon as it can (server shut-down).
    void Abort();
    // One block of audio for the client; runs on the receiver's data thread: copies it into
    // the queue, or drops it when not streaming.
    void Enqueue(const std::uint8_t* buffer, std::int32_t count);

private:
    void Execute(std::stop_token stop);
    void Serve(TSocket client);
    void RunLoop();
    void CleanUp();
    int ReadRequest();
    void ProcessRequest();
    void Route(const QString& path);

    // Responses.
    bool SendLine(const QString& text);
    bool SendBytes(const QByteArray& bytes);
    bool SendBytes(const char* data, std::size_t size);
    void SendUnauthorized();
    void SendNotFound();
    void SendMethodNotAllowed();
    void SendUnavailable();
    void SendRedirect(const QString& target, bool permanent);
    void SendClip(const QString& name);
    void SendPlaylist(const QString& name);
    void SendStream(const QString& name);
    void SendRawStream(const QString& name);
    void SendList(bool services);
    void SendIndexPage();
    void SendImage(const std::optional<QByteArray>& image);
    void SendServicePicture(const QString& path);
    void SendServiceIcon(const QString& name);
    // Runs `work` with the service pictures and returns its result.
    template <class F>
    auto WithPictures(F work) const;

    QString GetHeader(const QString& name) const;
    QString GetHost(bool addPort) const;
    bool Authenticated() const;
    void CloseSession();
    void StartStream(std::int32_t serviceId, bool wantsMetadata);
    bool SendQueued();
    bool SendWithMetadata(const std::vector<std::uint8_t>& block);
    QString StreamTitle();
    // Waits, ending early when the thread is asked to stop. False when it was.
    bool Pause(int milliseconds);

    THTTPServer& server_;
    std::stop_token stop_;

    // ClientSocket's descriptor is closed only under socketLock_, so Abort may shut it down from
    // another thread.
    std::mutex socketLock_;
    TSocket ClientSocket;
    std::atomic<bool> connected_{false};
    TSocket firstClient_;

    std::atomic<std::uint8_t> State{kFinished};
    QStringList RequestLines;
    char RequestBuffer[kBufferSize] = {};
    std::int32_t ReceivedCount = 0;

    std::mutex QueueLock;
    std::deque<std::vector<std::uint8_t>> BlockQueue;
    std::unique_ptr<TRecorderHTTP> Recorder;
    std::int32_t MetaInterval = 0;
    std::int32_t BytesToMeta = 0;
    QString ServiceName;

    std::mutex pauseLock_;
    std::condition_variable_any pauseWake_;
    // Last: built in place, so its stop state exists before the thread runs and every member
    // above is ready for it (other threads read the stop state through Enqueue).
    std::jthread thread_;
};

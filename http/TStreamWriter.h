#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

#include "platform/FileDescriptor.h"
#include "platform/TaskPoster.h"

class TMainControl;
class TStreamFeed;
class TStreamListener;

// Owns every live stream connection once its head was sent, and writes them all from one thread
// driven by epoll: every kTick it writes each listener what its feed holds in one gathered write
// (about 20 frames, so a listener lags half a second at most); a listener whose socket is
// full waits for it to drain without holding up the others. A listener ends when its client goes,
// a write makes no progress for 8000 ms or no audio came for 30 s; its recorder then goes back
// to the controller on the main thread (posted, never waited for).
//
// Created and stopped on the controller's (main) thread; FeedFor, Add and ListenerCount from
// any thread.
class TStreamWriter {
public:
    static constexpr auto kTick = std::chrono::milliseconds(500);
    // How often the dynamic labels of feeds whose listeners want titles are read again.
    static constexpr auto kTitleRefresh = std::chrono::milliseconds(1000);

    explicit TStreamWriter(TMainControl& control);
    // Stops.
    ~TStreamWriter();

    TStreamWriter(const TStreamWriter&) = delete;
    TStreamWriter& operator=(const TStreamWriter&) = delete;

    // The feed of a service, shared by its listeners while any of them has it.
    std::shared_ptr<TStreamFeed> FeedFor(std::int32_t serviceId, const QString& serviceName);
    // Takes a listener whose head was sent. False once stopped: the listener is handed back
    // untouched, and its recorder is the caller's to take back.
    bool Add(std::unique_ptr<TStreamListener>& listener);
    int ListenerCount() const { return count_.load(); }

    // Main thread. Ends every listener and takes every recorder back from the controller before
    // it returns; listeners added later are refused.
    void Stop();

private:
    struct Entry {
        std::unique_ptr<TStreamListener> listener;
        bool ending = false;
        bool watchingOutput = false;
    };

    void Run(std::stop_token stop);
    void TakeNew(std::chrono::steady_clock::time_point now);
    void Write(Entry& entry, std::chrono::steady_clock::time_point now);
    // Closes the ended listeners and posts their recorders back to the main thread.
    void Reap();
    void RefreshTitles();

    TMainControl& control_;
    FileDescriptor epoll_;
    FileDescriptor wake_;  // an eventfd: new listeners, or stop

    mutable std::mutex lock_;
    std::vector<std::unique_ptr<TStreamListener>> inbox_;
    std::map<std::int32_t, std::weak_ptr<TStreamFeed>> feeds_;
    bool stopped_ = false;
    std::atomic<int> count_{0};
    std::atomic<bool> titlesPending_{false};

    // The writer thread's own.
    std::list<Entry> listeners_;
    std::vector<QByteArray> scratch_;

    // Destroyed before the members its tasks use; a task still queued then runs its dropped
    // form on the destroying (main) thread.
    TaskPoster poster_;
    std::jthread thread_;
};

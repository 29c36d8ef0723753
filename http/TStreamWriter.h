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

// Owns every stream connection once its request was accepted, and serves them all from one thread
// driven by epoll. At the listener's start time it claims the receiver on the main thread (posted,
// never waited for) and sends the head, or the refusal and closes. Then every kTick it writes
// each listener what its feed holds in one gathered write (about 30 frames, so a listener lags
// three quarters of a second at most); a listener whose socket is full waits for it to drain
// without holding up the others. A listener ends when its client goes, a write makes no progress
// for 8000 ms or no audio came for 30 s; its recorder then goes back to the controller on the main
// thread (posted as well).
//
// Created and stopped on the controller's (main) thread; FeedFor, Add and ListenerCount from
// any thread.
class TStreamWriter {
public:
    static constexpr auto kTick = std::chrono::milliseconds(750);
    // How often the dynamic labels of feeds whose listeners want titles are read again.
    static constexpr auto kTitleRefresh = std::chrono::milliseconds(1000);

    explicit TStreamWriter(TMainControl& control);
    // Stops.
    ~TStreamWriter();

    TStreamWriter(const TStreamWriter&) = delete;
    TStreamWriter& operator=(const TStreamWriter&) = delete;

    // The feed of a service, shared by its listeners while any of them has it.
    std::shared_ptr<TStreamFeed> FeedFor(std::int32_t serviceId, const QString& serviceName);
    // Takes a listener whose request was accepted. False once stopped: the listener is handed
    // back untouched.
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
    // Asks the main thread whether the listener's service may have the receiver and, if so, adds
    // its recorder there, in the same call: of two requests for different ensembles only one
    // can pass. The answer comes back through the listener's claim cell, with a wake.
    void Claim(Entry& entry);
    bool Stopped() const;
    void Wake();
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
    int claims_ = 0;  // listeners waiting for the main thread's answer

    // Destroyed before the members its tasks use; a task still queued then runs its dropped
    // form on the destroying (main) thread.
    TaskPoster poster_;
    std::jthread thread_;
};

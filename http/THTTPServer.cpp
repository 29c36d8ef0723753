#include "http/THTTPServer.h"

#include <poll.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <cerrno>
#include <chrono>
#include <tuple>

#include "http/THTTPSessionThread.h"
#include "http/TStreamWriter.h"
#include "platform/Dialogs.h"
#include "receiver/TMainControl.h"
#include "services/TSettingsWrapper.h"

THTTPServer* HTTPServer = nullptr;

namespace {

constexpr std::int32_t kHighestPort = 65535;

void ShowStartFailure(std::int32_t port) {
    Dialogs::Instance().MessageBox(
        DialogKind::Error, QStringLiteral("Unable to start HTTP server on port %1.").arg(port),
        DialogButtons::Ignore);
}

}  // namespace

THTTPServer::THTTPServer(TSettingsWrapper& settings, TServiceTablesWrapper& tables,
                         TMainControl& control)
    : settings_(settings),
      tables_(tables),
      control_(control),
      context_(settings, tables, control, LocalCheck()) {
    const std::int32_t port = settings_.ReadInteger(Setting::ServerPort);
    if (port == 0) {
        return;
    }
    // A hand-edited or mistyped value beyond 16 bits must not quietly become another port.
    if (port < 1 || port > kHighestPort) {
        ShowStartFailure(port);
        return;
    }
    Listen(static_cast<std::uint16_t>(port), true);
}

THTTPServer::THTTPServer(TSettingsWrapper& settings, TServiceTablesWrapper& tables,
                         TMainControl& control, std::uint16_t port, LocalCheck isLocal,
                         int maxSessions)
    : settings_(settings),
      tables_(tables),
      control_(control),
      maxSessions_(maxSessions),
      context_(settings, tables, control, std::move(isLocal)) {
    Listen(port, false);
}

void THTTPServer::Listen(std::uint16_t port, bool showFailure) {
    listener_ = TSocket::Listen(port);
    if (listener_.IsValid()) {
        std::tie(wakeRead_, wakeWrite_) = FileDescriptor::Pipe();
    }
    if (!listener_.IsValid() || !wakeRead_.IsValid() || !waiting_.IsValid()) {
        listener_.Close();
        if (showFailure) {
            ShowStartFailure(port);
        }
        return;
    }
    port_ = listener_.LocalAddress().Port();
    context_.SetPort(port_);
    acceptor_ = std::jthread([this](std::stop_token stop) { AcceptLoop(stop); });
}

THTTPServer::~THTTPServer() {
    Q_ASSERT(QThread::currentThread() == control_.thread());
    context_.SetStopping();
    if (acceptor_.joinable()) {
        acceptor_.request_stop();
        const char wake = 1;
        [[maybe_unused]] const ssize_t written = ::write(wakeWrite_.Get(), &wake, 1);
        acceptor_.join();
    }
    waiting_.CloseAll();
    listener_.Close();
    wakeRead_.Reset();
    wakeWrite_.Reset();

    std::unique_lock lock(lock_);
    for (Entry& entry : threads_) {
        entry.session->Abort();
    }
    changed_.notify_all();
    const auto allEnded = [this] {
        for (const Entry& entry : threads_) {
            if (entry.phase != Entry::Phase::Ended) {
                return false;
            }
        }
        return true;
    };
    while (!allEnded()) {
        // A session may be waiting for the main thread (taking its recorder back): run its
        // hand-off here, since the event loop is not running for it now.
        lock.unlock();
        control_.RunPendingCalls();
        lock.lock();
        changed_.wait_for(lock, std::chrono::milliseconds(10), allEnded);
    }
    std::list<Entry> ended = std::move(threads_);
    lock.unlock();
    ended.clear();  // joins
    context_.Writer().Stop();
}

int THTTPServer::SessionCount() const {
    std::lock_guard guard(lock_);
    return busy_ + waiting_.Count();
}

int THTTPServer::HeadWaitCount() const {
    return waiting_.Count();
}

int THTTPServer::IdleThreadCount() const {
    std::lock_guard guard(lock_);
    return idle_;
}

int THTTPServer::StreamCount() const {
    return context_.Writer().ListenerCount();
}

void THTTPServer::AcceptLoop(std::stop_token stop) {
    while (!stop.stop_requested()) {
        pollfd fds[3] = {{listener_.Descriptor(), POLLIN, 0},
                         {wakeRead_.Get(), POLLIN, 0},
                         {waiting_.Descriptor(), POLLIN, 0}};
        const int ready = ::poll(fds, 3, kReapMs);
        if (ready == 0) {
            // Threads that ended keep their stacks until joined: a burst of requests must not
            // leave hundreds of them waiting for the next connection.
            std::lock_guard guard(lock_);
            ReapLocked();
        }
        if (ready < 0) {
            continue;
        }
        if ((fds[1].revents & POLLIN) != 0 || stop.stop_requested()) {
            break;
        }
        // Also when nothing is ready: the idle time-outs are due on the clock.
        for (TRequestHeadSet::Request& request : waiting_.Collect()) {
            Hand(std::move(request));
        }
        if ((fds[0].revents & POLLIN) != 0) {
            TSocket client = listener_.Accept();
            if (client.IsValid()) {
                Admit(std::move(client));
            } else if (errno == EMFILE || errno == ENFILE) {
                // Out of descriptors: give the sessions a moment instead of spinning.
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
    }
}

void THTTPServer::Admit(TSocket client) {
    {
        std::lock_guard guard(lock_);
        ReapLocked();
        if (busy_ + waiting_.Count() + context_.Writer().ListenerCount() < maxSessions_) {
            waiting_.Add(std::move(client));
            return;
        }
    }
    if (waiting_.EvictOldest()) {
        waiting_.Add(std::move(client));
    }
    // else closed at once
}

void THTTPServer::Hand(TRequestHeadSet::Request request) {
    std::lock_guard guard(lock_);
    ReapLocked();
    for (Entry& entry : threads_) {
        if (entry.phase == Entry::Phase::Idle) {
            entry.phase = Entry::Phase::Busy;
            entry.next = std::move(request);
            --idle_;
            ++busy_;
            changed_.notify_all();
            return;
        }
    }
    ++busy_;
    Entry& entry = threads_.emplace_back();
    entry.session = std::make_unique<THTTPSessionThread>(
        context_, std::move(request),
        [this](THTTPSessionThread* session) { return NextConnection(session); });
}

TRequestHeadSet::Request THTTPServer::NextConnection(THTTPSessionThread* session) {
    std::unique_lock lock(lock_);
    Entry* self = nullptr;
    for (Entry& entry : threads_) {
        if (entry.session.get() == session) {
            self = &entry;
            break;
        }
    }
    if (self == nullptr) {
        // Still being constructed by Hand (which holds the lock): cannot happen once the lock
        // is ours, but an unknown thread simply ends.
        return {};
    }
    --busy_;
    if (context_.IsStopping() || idle_ >= kIdleThreads) {
        self->phase = Entry::Phase::Ended;
        changed_.notify_all();
        return {};
    }
    self->phase = Entry::Phase::Idle;
    ++idle_;
    changed_.wait(lock, [&] { return context_.IsStopping() || self->phase == Entry::Phase::Busy; });
    if (self->phase == Entry::Phase::Busy) {
        return std::move(self->next);
    }
    --idle_;
    self->phase = Entry::Phase::Ended;
    changed_.notify_all();
    return {};
}

void THTTPServer::ReapLocked() {
    for (auto it = threads_.begin(); it != threads_.end();) {
        if (it->phase == Entry::Phase::Ended) {
            it = threads_.erase(it);
        } else {
            ++it;
        }
    }
}

#include "http/TRequestHeadSet.h"

#include <sys/epoll.h>
#include <sys/socket.h>

#include <cerrno>

#include "http/HTTPRequest.h"

namespace {

constexpr int kEventsPerPass = 64;
constexpr auto kSweepInterval = std::chrono::seconds(1);

}  // namespace

TRequestHeadSet::TRequestHeadSet() : epoll_(::epoll_create1(EPOLL_CLOEXEC)) {}

TRequestHeadSet::~TRequestHeadSet() {
    CloseAll();
}

void TRequestHeadSet::CloseAll() {
    while (!waiting_.empty()) {
        Close(waiting_.begin()->first);
    }
}

void TRequestHeadSet::Add(TSocket socket) {
    const int fd = socket.Descriptor();
    epoll_event event{};
    event.events = EPOLLIN | EPOLLRDHUP;
    event.data.fd = fd;
    if (!epoll_.IsValid() || ::epoll_ctl(epoll_.Get(), EPOLL_CTL_ADD, fd, &event) != 0) {
        return;  // closed with `socket`
    }
    const Clock::time_point now = Clock::now();
    waiting_[fd] =
        Waiting{std::move(socket), QByteArray(), now, now + std::chrono::seconds(kIdleSeconds)};
    count_.store(static_cast<int>(waiting_.size()), std::memory_order_relaxed);
}

bool TRequestHeadSet::EvictOldest() {
    auto oldest = waiting_.end();
    for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
        if (oldest == waiting_.end() || it->second.since < oldest->second.since) {
            oldest = it;
        }
    }
    if (oldest == waiting_.end()) {
        return false;
    }
    Close(oldest->first);
    return true;
}

std::vector<TRequestHeadSet::Request> TRequestHeadSet::Collect() {
    std::vector<Request> complete;
    epoll_event events[kEventsPerPass];
    const int ready = epoll_.IsValid() ? ::epoll_wait(epoll_.Get(), events, kEventsPerPass, 0) : 0;
    for (int i = 0; i < ready; ++i) {
        const auto it = waiting_.find(events[i].data.fd);
        if (it == waiting_.end()) {
            continue;
        }
        switch (Read(it->second)) {
            case Outcome::Waiting:
                break;
            case Outcome::Closed:
                Close(it->first);
                break;
            case Outcome::Complete:
                ::epoll_ctl(epoll_.Get(), EPOLL_CTL_DEL, it->first, nullptr);
                complete.push_back({std::move(it->second.socket), std::move(it->second.bytes)});
                waiting_.erase(it);
                break;
        }
    }
    const Clock::time_point now = Clock::now();
    if (now >= nextSweep_) {
        nextSweep_ = now + kSweepInterval;
        std::vector<int> expired;
        for (const auto& [fd, waiting] : waiting_) {
            if (now >= waiting.deadline) {
                expired.push_back(fd);
            }
        }
        for (const int fd : expired) {
            Close(fd);
        }
    }
    count_.store(static_cast<int>(waiting_.size()), std::memory_order_relaxed);
    return complete;
}

TRequestHeadSet::Outcome TRequestHeadSet::Read(Waiting& waiting) {
    // Level-triggered: what is left after a few reads is reported again on the next pass.
    for (int reads = 0; reads < kBufferSize / kReadSize; ++reads) {
        const qsizetype had = waiting.bytes.size();
        if (had + kReadSize > kBufferSize) {
            return Outcome::Closed;  // a head this long is not answered
        }
        waiting.bytes.resize(had + kReadSize);
        const ssize_t count = ::recv(waiting.socket.Descriptor(), waiting.bytes.data() + had,
                                     kReadSize, MSG_DONTWAIT);
        waiting.bytes.resize(had + (count > 0 ? count : 0));
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            return Outcome::Waiting;
        }
        if (count <= 0) {
            return Outcome::Closed;
        }
        waiting.deadline = Clock::now() + std::chrono::seconds(kIdleSeconds);
        if (HTTPRequest::IsComplete(waiting.bytes)) {
            return Outcome::Complete;
        }
    }
    return Outcome::Waiting;
}

void TRequestHeadSet::Close(int fd) {
    const auto it = waiting_.find(fd);
    if (it == waiting_.end()) {
        return;
    }
    ::epoll_ctl(epoll_.Get(), EPOLL_CTL_DEL, fd, nullptr);
    TSocket& socket = it->second.socket;
    // As a session ends a connection: the peer reads the end, and closing does not reset it.
    socket.ShutdownSending();
    socket.DiscardPending();
    waiting_.erase(it);
    count_.store(static_cast<int>(waiting_.size()), std::memory_order_relaxed);
}

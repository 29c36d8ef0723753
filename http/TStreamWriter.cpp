#include "http/TStreamWriter.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QThread>
#include <algorithm>
#include <iterator>

#include "http/TRecorderHTTP.h"
#include "http/TStreamFeed.h"
#include "http/TStreamListener.h"
#include "receiver/ReceiverError.h"
#include "receiver/TMainControl.h"

using Clock = std::chrono::steady_clock;

namespace {

constexpr int kEvents = 64;

// Takes a recorder back from the controller (main thread) and destroys it.
void Release(TMainControl& control, std::unique_ptr<TRecorderHTTP> recorder) {
    if (recorder) {
        try {
            control.RemoveRecorder(recorder.get());
        } catch (...) {
            // The controller let go of it even when the receiver failed to stop the capture.
        }
    }
}

}  // namespace

TStreamWriter::TStreamWriter(TMainControl& control)
    : control_(control),
      epoll_(::epoll_create1(EPOLL_CLOEXEC)),
      wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.ptr = nullptr;
    ::epoll_ctl(epoll_.Get(), EPOLL_CTL_ADD, wake_.Get(), &event);
    thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
}

TStreamWriter::~TStreamWriter() {
    Stop();
}

std::shared_ptr<TStreamFeed> TStreamWriter::FeedFor(std::int32_t serviceId,
                                                    const QString& serviceName) {
    std::lock_guard guard(lock_);
    for (auto it = feeds_.begin(); it != feeds_.end();) {
        it = it->second.expired() ? feeds_.erase(it) : std::next(it);
    }
    if (auto feed = feeds_[serviceId].lock()) {
        return feed;
    }
    auto feed = std::make_shared<TStreamFeed>(serviceId, serviceName);
    feeds_[serviceId] = feed;
    return feed;
}

bool TStreamWriter::Add(std::unique_ptr<TStreamListener>& listener) {
    {
        std::lock_guard guard(lock_);
        if (stopped_) {
            return false;
        }
        inbox_.push_back(std::move(listener));
        ++count_;
    }
    Wake();
    return true;
}

void TStreamWriter::Stop() {
    Q_ASSERT(QThread::currentThread() == control_.thread());
    {
        std::lock_guard guard(lock_);
        if (stopped_) {
            return;
        }
        stopped_ = true;
    }
    if (thread_.joinable()) {
        thread_.request_stop();
        Wake();
        thread_.join();
    }
    // The recorders of listeners that ended before are queued for this thread: take them back
    // first, then those of the listeners still connected.
    poster_.RunPending();
    std::vector<std::unique_ptr<TStreamListener>> left;
    {
        std::lock_guard guard(lock_);
        left.swap(inbox_);
    }
    for (Entry& entry : listeners_) {
        left.push_back(std::move(entry.listener));
    }
    listeners_.clear();
    for (auto& listener : left) {
        listener->Close();
        Release(control_, listener->TakeRecorder());
        --count_;
    }
}

void TStreamWriter::Run(std::stop_token stop) {
    epoll_event events[kEvents];
    auto nextTick = Clock::now() + kTick;
    auto nextTitles = Clock::now() + kTitleRefresh;
    while (!stop.stop_requested()) {
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(nextTick - Clock::now());
        const int ready = ::epoll_wait(epoll_.Get(), events, kEvents,
                                       static_cast<int>(std::max<long long>(0, wait.count())));
        const auto now = Clock::now();
        for (int i = 0; i < ready; ++i) {
            if (events[i].data.ptr == nullptr) {
                std::uint64_t count = 0;
                [[maybe_unused]] const ssize_t read = ::read(wake_.Get(), &count, sizeof(count));
                continue;
            }
            auto& entry = *static_cast<Entry*>(events[i].data.ptr);
            if ((events[i].events & (EPOLLERR | EPOLLHUP)) != 0) {
                entry.ending = true;  // the client is gone
            } else if ((events[i].events & EPOLLOUT) != 0 && !entry.ending) {
                Write(entry, now);
            }
        }
        if (stop.stop_requested()) {
            break;
        }
        TakeNew(now);
        const bool tick = now >= nextTick;
        if (tick || claims_ > 0) {
            for (Entry& entry : listeners_) {
                if (entry.ending) {
                    continue;
                }
                if (entry.listener->Claiming()) {
                    if (entry.listener->TakeClaim(now)) {
                        --claims_;
                        Write(entry, now);
                    }
                } else if (tick && entry.listener->DueForClaim(now)) {
                    Claim(entry);
                } else if (tick && !entry.listener->Blocked()) {
                    Write(entry, now);
                }
                if (entry.listener->TimedOut(now)) {
                    entry.ending = true;
                }
            }
        }
        if (tick) {
            nextTick = now + kTick;
        }
        if (now >= nextTitles) {
            RefreshTitles();
            nextTitles = now + kTitleRefresh;
        }
        Reap();
    }
}

void TStreamWriter::TakeNew(Clock::time_point now) {
    std::vector<std::unique_ptr<TStreamListener>> added;
    {
        std::lock_guard guard(lock_);
        added.swap(inbox_);
    }
    for (auto& listener : added) {
        Entry& entry = listeners_.emplace_back();
        entry.listener = std::move(listener);
        epoll_event event{};
        event.events = 0;  // errors and hang-ups are always reported
        event.data.ptr = &entry;
        if (::epoll_ctl(epoll_.Get(), EPOLL_CTL_ADD, entry.listener->Descriptor(), &event) != 0) {
            entry.ending = true;
            continue;
        }
        if (entry.listener->DueForClaim(now)) {
            Claim(entry);
        }
    }
}

void TStreamWriter::Claim(Entry& entry) {
    ++claims_;
    TStreamListener::ClaimCell cell = entry.listener->BeginClaim();
    TRecorderHTTP* recorder = entry.listener->Recorder();
    std::shared_ptr<TStreamFeed> feed = entry.listener->Feed();
    // The recorder outlives the task: when the listener ends, its release is posted after this.
    poster_.Post(
        [this, cell, recorder, feed] {
            int answer = TStreamListener::kClaimRefused;
            try {
                if (!Stopped() && control_.CanUseService(recorder->ServiceID(), false)) {
                    recorder->Restart();
                    control_.AddRecorder(recorder);
                    answer = TStreamListener::kClaimGranted;
                    if (recorder->WantsPAD() && recorder->StreamHandle() != 0) {
                        feed->SetTitle(control_.GetStreamLabel(recorder->StreamHandle()));
                    }
                }
            } catch (const ReceiverError& e) {
                // A receiver failure refuses the stream (or leaves it without a title until the
                // next refresh); the recorder is taken back when the listener ends.
                if (e.Status() == RxNotImplemented) {
                    answer = TStreamListener::kClaimNotDecodable;
                }
            } catch (...) {
            }
            cell->store(answer);
            Wake();
        },
        [cell] { cell->store(TStreamListener::kClaimRefused); });
}

bool TStreamWriter::Stopped() const {
    std::lock_guard guard(lock_);
    return stopped_;
}

void TStreamWriter::Wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake_.Get(), &one, sizeof(one));
}

void TStreamWriter::Write(Entry& entry, Clock::time_point now) {
    const TStreamListener::Result result = entry.listener->Flush(now, scratch_);
    if (result == TStreamListener::Result::Failed || result == TStreamListener::Result::Done) {
        entry.ending = true;
        return;
    }
    // Woken when a full socket drains; otherwise only errors and hang-ups.
    const bool watch = entry.listener->Blocked();
    if (watch != entry.watchingOutput) {
        epoll_event event{};
        event.events = watch ? static_cast<std::uint32_t>(EPOLLOUT) : 0u;
        event.data.ptr = &entry;
        ::epoll_ctl(epoll_.Get(), EPOLL_CTL_MOD, entry.listener->Descriptor(), &event);
        entry.watchingOutput = watch;
    }
}

void TStreamWriter::Reap() {
    for (auto it = listeners_.begin(); it != listeners_.end();) {
        if (!it->ending) {
            ++it;
            continue;
        }
        ::epoll_ctl(epoll_.Get(), EPOLL_CTL_DEL, it->listener->Descriptor(), nullptr);
        if (it->listener->Claiming()) {
            --claims_;
        }
        it->listener->Close();
        // Still attached: its blocks are ignored until the main thread takes it back.
        auto recorder =
            std::make_shared<std::unique_ptr<TRecorderHTTP>>(it->listener->TakeRecorder());
        auto release = [this, recorder] { Release(control_, std::move(*recorder)); };
        poster_.Post(release, release);
        --count_;
        it = listeners_.erase(it);
    }
}

void TStreamWriter::RefreshTitles() {
    if (titlesPending_) {
        return;  // the main thread has not come round to the last request yet
    }
    std::vector<std::shared_ptr<TStreamFeed>> feeds;
    {
        std::lock_guard guard(lock_);
        for (const auto& [service, weak] : feeds_) {
            if (auto feed = weak.lock(); feed && feed->WantsTitles()) {
                feeds.push_back(std::move(feed));
            }
        }
    }
    if (feeds.empty()) {
        return;
    }
    titlesPending_ = true;
    poster_.Post(
        [this, feeds] {
            for (const auto& feed : feeds) {
                QString title;
                for (TRecorder* recorder : control_.GetAttachedRecorders()) {
                    if (recorder->ServiceID() == feed->ServiceID() &&
                        recorder->StreamHandle() != 0) {
                        try {
                            title = control_.GetStreamLabel(recorder->StreamHandle());
                        } catch (...) {
                            title.clear();
                        }
                        break;
                    }
                }
                feed->SetTitle(title);
            }
            titlesPending_ = false;
        },
        [this] { titlesPending_ = false; });
}

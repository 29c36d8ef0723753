#include "http/TStreamFeed.h"

#include <cstring>
#include <utility>

TStreamFeed::TStreamFeed(std::int32_t serviceId, QString serviceName)
    : serviceId_(serviceId), serviceName_(std::move(serviceName)) {}

std::uint64_t TStreamFeed::NextNumber() {
    std::lock_guard guard(lock_);
    return appended_;
}

void TStreamFeed::Append(std::uint64_t& claimed, const std::uint8_t* buffer, std::int32_t count) {
    std::lock_guard guard(lock_);
    // Another recorder of this dispatch stored it already: the newest frame is one this recorder
    // has not been matched to, with the same bytes.
    if (!frames_.empty() && claimed < appended_) {
        const QByteArray& newest = frames_.back();
        if (newest.size() == count && std::memcmp(newest.constData(), buffer, count) == 0) {
            claimed = appended_;
            return;
        }
    }
    frames_.emplace_back(reinterpret_cast<const char*>(buffer), count);
    if (frames_.size() > kLimit) {
        frames_.pop_front();
    }
    claimed = ++appended_;
}

std::uint64_t TStreamFeed::Collect(std::uint64_t next, std::vector<QByteArray>& frames,
                                   std::size_t limit) {
    std::lock_guard guard(lock_);
    // The backlog as if each frame had been queued on arrival: whenever it reached kLimit it was
    // cut to the newest kKeep, so of a backlog b >= kLimit, kKeep + (b - kLimit) mod
    // (kLimit - kKeep) frames remain.
    const std::uint64_t backlog = appended_ - next;
    if (backlog >= kLimit) {
        next = appended_ - (kKeep + (backlog - kLimit) % (kLimit - kKeep));
    }
    const std::uint64_t first = appended_ - frames_.size();
    for (std::uint64_t n = next; n < appended_ && frames.size() < limit; ++n) {
        frames.push_back(frames_[n - first]);
    }
    return next;
}

QString TStreamFeed::Title() const {
    std::lock_guard guard(lock_);
    return title_;
}

void TStreamFeed::SetTitle(const QString& title) {
    std::lock_guard guard(lock_);
    title_ = title;
}

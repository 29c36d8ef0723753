#include "receiver/RxEventConnection.h"

namespace {

// The connection whose OnData runs on this thread, so that Unadvise from inside OnData does not
// wait for itself.
thread_local const RxEventConnection* t_deliveringFor = nullptr;

}  // namespace

RxStatus RxEventConnection::Advise(IViadabRxEvents* sink, std::int32_t* cookie) {
    if (sink == nullptr || cookie == nullptr) {
        return RxFail;
    }
    std::lock_guard lock(mutex_);
    if (sink_ != nullptr) {
        return RxFail;  // one connection at a time
    }
    sink_ = sink;
    cookie_ = ++nextCookie_;
    *cookie = cookie_;
    return RxOk;
}

RxStatus RxEventConnection::Unadvise(std::int32_t cookie) {
    std::unique_lock lock(mutex_);
    if (sink_ == nullptr || cookie != cookie_) {
        return RxFail;
    }
    sink_ = nullptr;
    const int own = t_deliveringFor == this ? 1 : 0;
    idle_.wait(lock, [&] { return inFlight_ == own; });
    return RxOk;
}

void RxEventConnection::Disconnect() {
    std::lock_guard lock(mutex_);
    sink_ = nullptr;
}

void RxEventConnection::Guarded(const std::function<void()>& change) {
    std::lock_guard lock(mutex_);
    change();
}

void RxEventConnection::Deliver(std::int32_t handle, const std::uint8_t* data, std::int32_t length,
                                const std::function<bool()>& wanted) {
    IViadabRxEvents* sink = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (sink_ == nullptr || !wanted()) {
            return;
        }
        sink = sink_;
        ++inFlight_;
    }
    const RxEventConnection* outer = t_deliveringFor;
    t_deliveringFor = this;
    sink->OnData(handle, data, length);
    t_deliveringFor = outer;
    {
        std::lock_guard lock(mutex_);
        --inFlight_;
    }
    idle_.notify_all();
}

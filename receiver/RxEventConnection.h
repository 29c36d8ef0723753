#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "receiver/IViadabRx.h"

// A receiver component's side of its event connection: at most one sink, and OnData calls
// counted so that Unadvise can wait for one in flight (except the calling thread's own, made
// from inside OnData). Plain C++ for the components; thread-safe.
class RxEventConnection {
public:
    RxStatus Advise(IViadabRxEvents* sink, std::int32_t* cookie);
    RxStatus Unadvise(std::int32_t cookie);
    // Drops the sink without waiting (the component's threads are joined after this).
    void Disconnect();

    // Runs `change` under the lock Deliver decides under: once it returns, a delivery whose
    // `wanted` it made false never calls OnData.
    void Guarded(const std::function<void()>& change);

    // OnData(handle, data, length) on the calling thread when a sink is connected and `wanted`
    // (called under the lock) holds.
    void Deliver(std::int32_t handle, const std::uint8_t* data, std::int32_t length,
                 const std::function<bool()>& wanted);

private:
    std::mutex mutex_;
    std::condition_variable idle_;
    IViadabRxEvents* sink_ = nullptr;
    std::int32_t cookie_ = 0;
    std::int32_t nextCookie_ = 0;
    int inFlight_ = 0;
};

#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

// Plays MPEG audio frames as they arrive on the desktop's sound server (PulseAudio), decoded
// with libmpg123, on its own thread. Silent when no sound server answers: the frames are then
// dropped. Push never blocks: when the player falls behind by more than kMaxQueued frames the
// oldest are dropped. Push from any thread; destruction stops and joins the thread (within the
// server's short latency).
class LivePlayer {
public:
    static constexpr std::size_t kMaxQueued = 64;

    LivePlayer();
    ~LivePlayer();

    LivePlayer(const LivePlayer&) = delete;
    LivePlayer& operator=(const LivePlayer&) = delete;

    void Push(const std::uint8_t* frame, std::size_t length);
    // Asks the thread to end without waiting for it.
    void RequestStop() { thread_.request_stop(); }
    bool Done() const;

private:
    void Run(std::stop_token stop);

    mutable std::mutex mutex_;
    std::condition_variable_any arrived_;
    std::deque<std::vector<std::uint8_t>> queue_;
    bool done_ = false;
    std::jthread thread_;
};

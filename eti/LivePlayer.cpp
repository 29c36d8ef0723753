#include "eti/LivePlayer.h"

#include "receiver/MpegSoundOutput.h"

LivePlayer::LivePlayer() {
    thread_ = std::jthread([this](std::stop_token stop) {
        Run(stop);
        std::lock_guard lock(mutex_);
        done_ = true;
    });
}

LivePlayer::~LivePlayer() {
    thread_.request_stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool LivePlayer::Done() const {
    std::lock_guard lock(mutex_);
    return done_;
}

void LivePlayer::Push(const std::uint8_t* frame, std::size_t length) {
    {
        std::lock_guard lock(mutex_);
        if (done_) {
            return;
        }
        if (queue_.size() >= kMaxQueued) {
            queue_.pop_front();
        }
        queue_.emplace_back(frame, frame + length);
    }
    arrived_.notify_one();
}

void LivePlayer::Run(std::stop_token stop) {
    MpegSoundOutput output;
    std::vector<std::uint8_t> frame;
    while (!stop.stop_requested()) {
        {
            std::unique_lock lock(mutex_);
            if (!arrived_.wait(lock, stop, [this] { return !queue_.empty(); })) {
                return;
            }
            frame = std::move(queue_.front());
            queue_.pop_front();
        }
        // Without a sound server the output takes the frames and stays silent, so the queue
        // stays short.
        output.Play(frame.data(), frame.size(), stop);
    }
}

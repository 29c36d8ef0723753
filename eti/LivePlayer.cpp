#include "eti/LivePlayer.h"

#include <mpg123.h>
#include <pulse/simple.h>

#include <memory>

namespace {

constexpr pa_usec_t kTargetLatencyUs = 200000;  // short, so that a stop is heard promptly

struct Mpg123Deleter {
    void operator()(mpg123_handle* h) const { mpg123_delete(h); }
};
struct PulseDeleter {
    void operator()(pa_simple* s) const { pa_simple_free(s); }
};

// A playback stream for the format, or null when no sound server answers.
std::unique_ptr<pa_simple, PulseDeleter> Connect(long rate, int channels) {
    pa_sample_spec format{};
    format.format = PA_SAMPLE_S16NE;
    format.rate = static_cast<std::uint32_t>(rate);
    format.channels = static_cast<std::uint8_t>(channels);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(kTargetLatencyUs, &format));
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(-1);
    int error = 0;
    return std::unique_ptr<pa_simple, PulseDeleter>(
        pa_simple_new(nullptr, "Tunora", PA_STREAM_PLAYBACK, nullptr, "DAB receiver", &format,
                      nullptr, &attr, &error));
}

}  // namespace

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
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    int error = 0;
    std::unique_ptr<mpg123_handle, Mpg123Deleter> decoder(mpg123_new(nullptr, &error));
    if (!decoder) {
        return;
    }
    mpg123_param(decoder.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_format_none(decoder.get());
    for (const long rate : {48000L, 24000L}) {
        mpg123_format(decoder.get(), rate, MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    }
    if (mpg123_open_feed(decoder.get()) != MPG123_OK) {
        return;
    }
    std::unique_ptr<pa_simple, PulseDeleter> out;
    bool silent = false;
    std::vector<unsigned char> pcm(4 * 1152 * 2 * 2);
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
        if (silent) {
            continue;
        }
        mpg123_feed(decoder.get(), frame.data(), frame.size());
        while (!stop.stop_requested()) {
            std::size_t done = 0;
            const int r = mpg123_read(decoder.get(), pcm.data(), pcm.size(), &done);
            if (r == MPG123_NEW_FORMAT) {
                long rate = 0;
                int channels = 0;
                int encoding = 0;
                mpg123_getformat(decoder.get(), &rate, &channels, &encoding);
                out = Connect(rate, channels);
                silent = !out;
                if (silent) {
                    break;
                }
                continue;
            }
            if (done > 0 && out && pa_simple_write(out.get(), pcm.data(), done, &error) < 0) {
                silent = true;  // the server went away
                out.reset();
                break;
            }
            if (r == MPG123_OK && done > 0) {
                continue;
            }
            break;  // needs the next frame (or skips a damaged one)
        }
    }
}

#include "sim/AudioPlayer.h"

#include <mpg123.h>
#include <pulse/simple.h>

#include <memory>
#include <mutex>
#include <vector>

#include "sim/FrameLoop.h"

namespace {

constexpr pa_usec_t kTargetLatencyUs = 200000;  // short, so that a stop is heard promptly

struct Mpg123Deleter {
    void operator()(mpg123_handle* h) const { mpg123_delete(h); }
};
struct PulseDeleter {
    void operator()(pa_simple* s) const { pa_simple_free(s); }
};

}  // namespace

bool AudioPlayer::Play(const FrameLoop& loop, std::size_t firstFrame, int sampleRate, int channels,
                       std::stop_token stop) {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });

    pa_sample_spec sampleFormat{};
    sampleFormat.format = PA_SAMPLE_S16NE;
    sampleFormat.rate = static_cast<std::uint32_t>(sampleRate);
    sampleFormat.channels = static_cast<std::uint8_t>(channels);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(kTargetLatencyUs, &sampleFormat));
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(-1);
    int error = 0;
    std::unique_ptr<pa_simple, PulseDeleter> out(
        pa_simple_new(nullptr, "Tunora", PA_STREAM_PLAYBACK, nullptr, "DAB receiver", &sampleFormat,
                      nullptr, &attr, &error));
    if (!out) {
        return false;
    }

    std::unique_ptr<mpg123_handle, Mpg123Deleter> decoder(mpg123_new(nullptr, &error));
    if (!decoder) {
        return true;
    }
    mpg123_param(decoder.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_format_none(decoder.get());
    mpg123_format(decoder.get(), sampleRate, channels == 1 ? MPG123_MONO : MPG123_STEREO,
                  MPG123_ENC_SIGNED_16);
    if (mpg123_open_feed(decoder.get()) != MPG123_OK) {
        return true;
    }
    std::vector<unsigned char> pcm(4 * 1152 * 2 * 2);
    for (std::size_t i = firstFrame; !stop.stop_requested(); ++i) {
        mpg123_feed(decoder.get(), loop.Frame(i), static_cast<std::size_t>(loop.FrameLength()));
        while (!stop.stop_requested()) {
            std::size_t done = 0;
            const int r = mpg123_read(decoder.get(), pcm.data(), pcm.size(), &done);
            if (done > 0 && pa_simple_write(out.get(), pcm.data(), done, &error) < 0) {
                return true;  // the server went away: go silent
            }
            if (r == MPG123_NEW_FORMAT || (r == MPG123_OK && done > 0)) {
                continue;
            }
            break;  // needs the next frame (or skips a damaged one)
        }
    }
    return true;
}

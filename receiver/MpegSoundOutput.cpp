#include "receiver/MpegSoundOutput.h"

#include <mpg123.h>
#include <pulse/simple.h>

#include <mutex>

namespace {

constexpr pa_usec_t kTargetLatencyUs = 200000;  // short, so that a stop is heard promptly

}  // namespace

void MpegSoundOutput::DecoderDeleter::operator()(mpg123_handle_struct* decoder) const {
    mpg123_delete(decoder);
}

void MpegSoundOutput::StreamDeleter::operator()(pa_simple* stream) const {
    pa_simple_free(stream);
}

// A frame decodes to at most 1152 stereo 16-bit samples.
MpegSoundOutput::MpegSoundOutput() : pcm_(4 * 1152 * 2 * 2) {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    int error = 0;
    decoder_.reset(mpg123_new(nullptr, &error));
    if (!decoder_) {
        silent_ = true;
        return;
    }
    mpg123_param(decoder_.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_format_none(decoder_.get());
    for (const long rate : {48000L, 24000L}) {
        mpg123_format(decoder_.get(), rate, MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    }
    silent_ = mpg123_open_feed(decoder_.get()) != MPG123_OK;
}

MpegSoundOutput::~MpegSoundOutput() = default;

bool MpegSoundOutput::Play(const std::uint8_t* frame, std::size_t length, std::stop_token stop) {
    if (silent_) {
        return false;
    }
    mpg123_feed(decoder_.get(), frame, length);
    int error = 0;
    while (!stop.stop_requested()) {
        std::size_t done = 0;
        const int r = mpg123_read(decoder_.get(), pcm_.data(), pcm_.size(), &done);
        if (r == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0;
            int encoding = 0;
            mpg123_getformat(decoder_.get(), &rate, &channels, &encoding);
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
            stream_.reset(pa_simple_new(nullptr, "Tunora", PA_STREAM_PLAYBACK, nullptr,
                                        "DAB receiver", &format, nullptr, &attr, &error));
            if (!stream_) {
                silent_ = true;
                return false;
            }
            continue;
        }
        if (done > 0 && stream_ && pa_simple_write(stream_.get(), pcm_.data(), done, &error) < 0) {
            stream_.reset();  // the server went away
            silent_ = true;
            return false;
        }
        if (r != MPG123_OK || done == 0) {
            break;  // needs the next frame (or skips a damaged one)
        }
    }
    return true;
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <vector>

struct mpg123_handle_struct;
struct pa_simple;

// Plays MPEG audio frames on the desktop's sound server (PulseAudio), decoded with libmpg123.
// The playback stream opens at the first decoded frame, in its rate and channels (48 or 24 kHz,
// mono or stereo), and again whenever they change. Play blocks while the server's buffer is full
// (a short latency, so a stop is heard promptly). One thread uses an instance.
class MpegSoundOutput {
public:
    MpegSoundOutput();
    ~MpegSoundOutput();

    MpegSoundOutput(const MpegSoundOutput&) = delete;
    MpegSoundOutput& operator=(const MpegSoundOutput&) = delete;

    // Decodes one frame (or part of one) and plays what it gives. False once no sound server
    // answers or the server has gone away: the output then stays silent and takes no more.
    bool Play(const std::uint8_t* frame, std::size_t length, std::stop_token stop = {});

private:
    struct DecoderDeleter {
        void operator()(mpg123_handle_struct* decoder) const;
    };
    struct StreamDeleter {
        void operator()(pa_simple* stream) const;
    };

    std::unique_ptr<mpg123_handle_struct, DecoderDeleter> decoder_;
    std::unique_ptr<pa_simple, StreamDeleter> stream_;
    std::vector<unsigned char> pcm_;  // room for the PCM of several frames
    bool silent_ = false;
};

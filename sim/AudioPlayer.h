#pragma once

#include <cstddef>
#include <stop_token>

class FrameLoop;

// Plays a stream's frames on the desktop's sound server (PulseAudio), decoding them with
// libmpg123. Blocking: runs on the caller's thread, paced by the server, until stop is requested.
class AudioPlayer {
public:
    // False at once when no sound server answers (the stream then stays silent).
    static bool Play(const FrameLoop& loop, std::size_t firstFrame, int sampleRate, int channels,
                     std::stop_token stop);
};

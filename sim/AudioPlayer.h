#pragma once

#include <cstddef>
#include <stop_token>

class FrameLoop;

// Plays a stream's frames on the desktop's sound server. Blocking: runs on the caller's thread,
// paced by the server, until stop is requested.
class AudioPlayer {
public:
    // False as soon as no sound server answers (the stream then stays silent).
    static bool Play(const FrameLoop& loop, std::size_t firstFrame, std::stop_token stop);
};

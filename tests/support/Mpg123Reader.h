#pragma once

#include <QString>
#include <cstdint>
#include <vector>

// What libmpg123 makes of MPEG audio, decoded to 16-bit PCM: the format of the first frame and
// the PCM it decodes to. An independent reading of what the program writes and sends.
struct Mpg123Reading {
    long rate = 0;  // Hz of the PCM
    int channels = 0;
    int layer = 0;    // 1, 2 or 3
    int version = 0;  // MPG123_1_0, MPG123_2_0, MPG123_2_5
    int mode = 0;     // MPG123_M_STEREO ... MPG123_M_MONO
    int bitrate = 0;  // kbit/s
    long frames = 0;  // PCM frames (samples per channel)
    double rms = 0;   // of every decoded sample
    QString error;    // the decoder's complaint; empty when the stream decoded cleanly
};

// A whole stream held in memory (read as a network stream is) or in a file (read as a player
// opens it: an encoder's delay and padding are trimmed when the file says so).
Mpg123Reading ReadMpeg(const std::vector<std::uint8_t>& stream);
Mpg123Reading ReadMpegFile(const QString& path);

// The mpg123 player program; empty when it is not installed, which fails the calling test when
// CI is set (the dependency script installs it there).
QString Mpg123Player();

// Runs `player` on `url` for at most `frames` frames with this thread's event loop turning, so a
// server living here answers it. Exit code -1: it did not end within `timeoutMs`.
struct Mpg123Playback {
    int exitCode = -1;
    QString report;  // its verbose report (standard error)
};
Mpg123Playback PlayWithMpg123(const QString& player, const QString& url, int frames, int timeoutMs);

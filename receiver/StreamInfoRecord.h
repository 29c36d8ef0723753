#pragma once

#include <QString>
#include <cstdint>

// What readers receive about one audio stream; all zero when nothing is known.
struct StreamInfoRecord {
    std::int32_t Bitrate = 0;      // kbit/s
    std::uint8_t Stereo = 0;       // 1 when the channel mode is not single channel
    std::uint8_t MusicSpeech = 0;  // 0 not signalled, 1 music, 2 speech, 3 reserved
    QString DynamicLabel;          // at most 255 characters

    bool operator==(const StreamInfoRecord&) const = default;
};

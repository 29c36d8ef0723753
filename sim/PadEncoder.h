#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "sim/AirFile.h"

// Programme-associated data of one audio stream (EN 300 401, 7.4), written into the reserved
// tail of each frame as it goes on air:
// - F-PAD (the frame's last two bytes): byte L-1 is F-PAD type 00 with the X-PAD indicator
//   (01 short X-PAD while the stream has dynamic labels, else 00), or, on the frame after each
//   data group (every 8th frame without labels), type 10 with extension 01 carrying the
//   music/speech flag in bits 3-2; byte L holds the contents-indicator flag (bit 1) and Z = 0.
// - Short X-PAD: 4 bytes a frame, stored in reverse order before the ScF-CRC. A data group
//   starts on a frame with the CI flag set: its first X-PAD byte is the contents indicator
//   (application type 2, dynamic label, start of data group), then the data group follows
//   over this and the next frames, 4 bytes a frame, padded with zero bytes.
// - The dynamic label travels as one data group per segment: 2 prefix bytes (toggle, first and
//   last flags, C flag, length-1 or command; segment number or character set), up to 16
//   characters, CRC-16 (x^16+x^12+x^5+1, preset 0xFFFF, inverted). The remove-label command is
//   prefix + CRC, no characters.
// The labels rotate with the stream's air time (frame index × frame length): the label shown at
// air time t is entry (t / rotation period) mod count; each is sent over and over, segment by
// segment, the toggle bit flipping with each rotation step.
class PadEncoder {
public:
    PadEncoder(const AirComponent& component, double frameSeconds);

    // Writes X-PAD and F-PAD into one frame about to go on air. Frames must come in air order;
    // `index` is the frame's air index (air time / frame length).
    void Fill(std::uint8_t* frame, int length, int scfCrcLength, std::int64_t index);

    // The data groups (prefix, characters, CRC) of one label, one per segment of at most 16
    // characters; for the remove-label command, one data group.
    static std::vector<std::vector<std::uint8_t>> DataGroups(const AirLabel& label, bool toggle);
    static std::uint16_t Crc16(const std::uint8_t* data, std::size_t length);

    // Index into the labels of the entry on air at `seconds`; -1 when there are none.
    static int LabelAt(const AirComponent& component, double seconds);

private:
    struct Chunk {
        std::array<std::uint8_t, 4> xpad{};
        bool ci = false;
        bool musicSpeech = false;  // F-PAD type 10 instead of type 00
    };

    void QueueNext(std::int64_t index);

    const std::vector<AirLabel> labels_;
    const double rotateSeconds_;
    const int musicSpeech_;
    const double frameSeconds_;
    std::deque<Chunk> queue_;
    std::int64_t rotation_ = -1;  // rotation step of the label being sent
    std::vector<std::vector<std::uint8_t>> groups_;
    std::size_t nextGroup_ = 0;
};

#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Hand-built DAB audio frames (EN 300 401): the MPEG header, filler, then at the frame's end the
// short X-PAD (4 bytes, reversed), the ScF-CRC field and the two F-PAD bytes.
struct FrameFormat {
    std::uint8_t header[4];
    int length;  // bytes
    int scfCrc;  // bytes of ScF-CRC the standard gives this format
};

// MPEG-1 Layer II 48 kHz: stereo 128 kbit/s (ScF-CRC 4), stereo 96 kbit/s (2), mono 48 kbit/s
// (2), mono 64 kbit/s (4); MPEG-2 Layer II 24 kHz mono 64 kbit/s (4).
FrameFormat Stereo128();
FrameFormat Stereo96();
FrameFormat Mono48();
FrameFormat Mono64();
FrameFormat Lsf24Mono64();

// F-PAD byte L-1 of a frame carrying short X-PAD.
constexpr std::uint8_t kShortXPad = 0x10;
// F-PAD byte L: the contents indicator flag (a data group starts in this frame).
constexpr std::uint8_t kContentsIndicator = 0x02;

std::vector<std::uint8_t> Frame(const FrameFormat& format, const std::uint8_t xpad[4],
                                std::uint8_t fpad1, std::uint8_t fpad2);

// One dynamic label segment as a data group, with its contents indicator byte (application
// type 2) in front and the CRC at the end.
std::vector<std::uint8_t> LabelSegment(const std::string& chars, bool first, bool last,
                                       int segment);
// The "remove label" command data group: prefix and CRC only.
std::vector<std::uint8_t> RemoveLabel();

// The frames carrying `group` in short X-PAD, 4 bytes a frame, the first frame flagged.
std::vector<std::vector<std::uint8_t>> GroupFrames(const FrameFormat& format,
                                                   const std::vector<std::uint8_t>& group);
// A frame that starts a new (empty) data group, so the one before it is complete.
std::vector<std::uint8_t> EndMarkerFrame(const FrameFormat& format);

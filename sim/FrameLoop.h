#pragma once

#include <cstdint>
#include <memory>
#include <stop_token>
#include <vector>

struct AirComponent;

// A seamless loop of one audio component's MPEG Layer II frames, encoded once with libtwolame in
// DAB mode: header CRC on, and at every frame's end the reserved DAB tail
//   [audio ...][X-PAD: 4 bytes][ScF-CRC: 2 or 4 bytes][F-PAD: 2 bytes]
// with the ScF-CRC filled (each frame carries the check of the next frame's scale factors; the
// last frame carries the first one's, as the loop goes on with it). X-PAD and F-PAD are zero here;
// the PAD encoder writes them into a copy of each frame as it goes on air. Immutable; any thread.
class FrameLoop {
public:
    static constexpr int kXPadLength = 4;  // short X-PAD
    static constexpr int kFPadLength = 2;

    // Encodes the component's programme, or the first 120 s of its WAV file (read as it is
    // encoded, never whole). Throws std::runtime_error, or WavReader::Stopped when `stop` is
    // requested while the file keeps it waiting.
    static std::shared_ptr<const FrameLoop> Encode(const AirComponent& component,
                                                   std::stop_token stop = {});

    // ScF-CRC length per EN 300 401: 4 bytes at 24 kHz; at 48 kHz 4 bytes from 56 kbit/s per
    // channel up (112 for two-channel modes, 56 for single channel), else 2.
    static int ScfCrcLengthFor(int sampleRate, int channels, int kbps);

    std::size_t Count() const { return count_; }
    int FrameLength() const { return frameLength_; }
    int ScfCrcLength() const { return scfCrcLength_; }
    // 0.024 s at 48 kHz, 0.048 s at 24 kHz.
    double FrameSeconds() const { return frameSeconds_; }
    const std::uint8_t* Frame(std::size_t index) const {
        return bytes_.data() + (index % count_) * frameLength_;
    }

private:
    FrameLoop() = default;

    std::vector<std::uint8_t> bytes_;
    std::size_t count_ = 0;
    int frameLength_ = 0;
    int scfCrcLength_ = 0;
    double frameSeconds_ = 0;
};

#include "eti/LayerTwoAssembler.h"

#include <algorithm>

namespace {

// kbit/s by bit rate index: MPEG-1 Layer II, and MPEG-2 low sampling frequencies (Layer II).
constexpr int kMpeg1Kbps[16] = {0,   32,  48,  56,  64,  80,  96,  112,
                                128, 160, 192, 224, 256, 320, 384, 0};
constexpr int kMpeg2Kbps[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
constexpr int kMpeg1Hz[3] = {44100, 48000, 32000};
constexpr int kMpeg2Hz[3] = {22050, 24000, 16000};

}  // namespace

std::size_t LayerTwoAssembler::FrameLength(const std::uint8_t* h) {
    if (h[0] != 0xFF || (h[1] & 0xF0) != 0xF0 || (h[1] & 0x06) != 0x04) {
        return 0;  // no sync, or not Layer II (MPEG 2.5 has the last sync bit clear)
    }
    const bool mpeg1 = (h[1] & 0x08) != 0;
    const int rateIndex = h[2] >> 4;
    const int hzIndex = (h[2] >> 2) & 0x03;
    if (hzIndex == 3) {
        return 0;
    }
    const int kbps = (mpeg1 ? kMpeg1Kbps : kMpeg2Kbps)[rateIndex];
    const int hz = (mpeg1 ? kMpeg1Hz : kMpeg2Hz)[hzIndex];
    if (kbps == 0) {
        return 0;
    }
    const bool padding = (h[2] & 0x02) != 0;
    return static_cast<std::size_t>(144000 * kbps / hz) + (padding ? 1 : 0);
}

void LayerTwoAssembler::Push(const std::uint8_t* bytes, std::size_t length,
                             const FrameHandler& onFrame) {
    if (length == 0) {
        return;
    }
    pending_.insert(pending_.end(), bytes, bytes + length);
    std::size_t at = 0;
    const auto skip = [&] {
        locked_ = false;
        const auto next = std::find(pending_.begin() + static_cast<std::ptrdiff_t>(at) + 1,
                                    pending_.end(), std::uint8_t{0xFF});
        at = static_cast<std::size_t>(next - pending_.begin());
    };
    while (pending_.size() - at >= 4) {
        const std::size_t frame = FrameLength(pending_.data() + at);
        // A real header's frame spans whole ETI frames of this sub-channel.
        if (frame == 0 || frame % length != 0 || frame / length > 2) {
            skip();
            continue;
        }
        if (!locked_) {
            // A sync word inside audio data looks like a header too: the next frame must follow.
            if (pending_.size() - at < frame + 4) {
                break;
            }
            if (FrameLength(pending_.data() + at + frame) != frame) {
                skip();
                continue;
            }
            locked_ = true;
        }
        if (pending_.size() - at < frame) {
            break;
        }
        onFrame(pending_.data() + at, frame);
        at += frame;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(at));
}

void LayerTwoAssembler::Reset() {
    pending_.clear();
    locked_ = false;
}

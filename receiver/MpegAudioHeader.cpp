#include "receiver/MpegAudioHeader.h"

namespace {

// kbit/s by bit rate index 0..14 (index 15 is invalid).
constexpr int kMpeg1Layer1[15] = {0,   32,  64,  96,  128, 160, 192, 224,
                                  256, 288, 320, 352, 384, 416, 448};
constexpr int kMpeg1Layer2[15] = {0,   32,  48,  56,  64,  80,  96, 112,
                                  128, 160, 192, 224, 256, 320, 384};
constexpr int kMpeg1Layer3[15] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr int kLsfLayer1[15] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256};
constexpr int kLsfLayer23[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};

constexpr int kMpeg1Rates[3] = {44100, 48000, 32000};

}  // namespace

std::optional<MpegAudioHeader> MpegAudioHeader::Parse(const std::uint8_t* block,
                                                      std::int32_t length) {
    if (block == nullptr || length < 4 || block[0] != 0xFF || (block[1] & 0xE0) != 0xE0) {
        return std::nullopt;
    }
    MpegAudioHeader h;
    h.VersionBits = (block[1] >> 3) & 0x03;
    h.LayerBits = (block[1] >> 1) & 0x03;
    h.BitrateIndex = (block[2] >> 4) & 0x0F;
    h.SampleRateIndex = (block[2] >> 2) & 0x03;
    h.ChannelMode = (block[3] >> 6) & 0x03;
    return h;
}

int MpegAudioHeader::BitrateFor(int versionBits, int layerBits, int bitrateIndex) {
    if (bitrateIndex < 0 || bitrateIndex > 14 || versionBits == 1 || versionBits < 0 ||
        versionBits > 3) {
        return 0;
    }
    if (versionBits == 3) {
        switch (layerBits) {
            case 3:
                return kMpeg1Layer1[bitrateIndex];
            case 2:
                return kMpeg1Layer2[bitrateIndex];
            case 1:
                return kMpeg1Layer3[bitrateIndex];
            default:
                return 0;
        }
    }
    switch (layerBits) {
        case 3:
            return kLsfLayer1[bitrateIndex];
        case 2:
        case 1:
            return kLsfLayer23[bitrateIndex];
        default:
            return 0;
    }
}

int MpegAudioHeader::SampleRate() const {
    if (SampleRateIndex > 2 || VersionBits == 1) {
        return 0;
    }
    const int base = kMpeg1Rates[SampleRateIndex];
    switch (VersionBits) {
        case 3:
            return base;
        case 2:
            return base / 2;
        default:
            return base / 4;
    }
}

int MpegAudioHeader::ScfCrcLength() const {
    if (VersionBits != 3) {
        return 4;
    }
    const int perChannelThreshold = Stereo() ? 112 : 56;
    return Bitrate() >= perChannelThreshold ? 4 : 2;
}

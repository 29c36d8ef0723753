#pragma once

#include <cstdint>
#include <optional>

// The 4-byte header of one MPEG audio frame, as the receiver delivers it at the start of a block.
struct MpegAudioHeader {
    int VersionBits = 0;   // 3 = MPEG-1, 2 = MPEG-2 (LSF), 0 = MPEG-2.5, 1 reserved
    int LayerBits = 0;     // 3 = Layer I, 2 = Layer II, 1 = Layer III, 0 reserved
    int BitrateIndex = 0;  // 0 free format, 15 invalid
    int SampleRateIndex = 0;
    int ChannelMode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel

    // The header at the start of `block`, when the block has 4 bytes and starts with the sync
    // (0xFF, then the top three bits set); nothing otherwise.
    static std::optional<MpegAudioHeader> Parse(const std::uint8_t* block, std::int32_t length);

    // kbit/s from the published table for this version, layer and index; 0 for free format, an
    // invalid index or a reserved version or layer.
    static int BitrateFor(int versionBits, int layerBits, int bitrateIndex);

    int Bitrate() const { return BitrateFor(VersionBits, LayerBits, BitrateIndex); }
    // Hz; 0 for a reserved index or version.
    int SampleRate() const;
    // Two-channel modes: stereo, joint stereo and dual channel.
    bool Stereo() const { return ChannelMode != 3; }
    // Bytes of the DAB ScF-CRC field before the F-PAD (EN 300 401): 4 for the low sampling
    // frequencies (24 kHz); at 48 kHz 4 from 56 kbit/s per channel up, else 2.
    int ScfCrcLength() const;
};

#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Independent reading of MPEG-1/2 Layer II frames for the simulated receiver's tests.
struct LayerTwoHeader {
    bool mpeg1 = false;
    bool protectedByCrc = false;
    int bitrate = 0;     // kbit/s
    int sampleRate = 0;  // Hz
    int mode = 0;        // 0 stereo, 1 joint, 2 dual, 3 single channel
    int modeExtension = 0;
    bool padding = false;
    int length = 0;  // bytes
};

// False when the 4 bytes are not a Layer II header.
bool ParseLayerTwoHeader(const std::uint8_t* frame, std::size_t size, LayerTwoHeader& header);

// Recomputes the frame's CRC-16 (header bytes 2-3, bit allocation, scale factor selection) and
// compares it with the stored one.
bool LayerTwoCrcMatches(const std::uint8_t* frame, const LayerTwoHeader& header);

// Decodes concatenated frames with libmpg123; fills `error` on a decoder error.
struct DecodeResult {
    long samples = 0;  // per channel
    int rate = 0;
    int channels = 0;
    double rms = 0;  // of the decoded 16-bit samples
    std::string error;
};
DecodeResult DecodeWithMpg123(const std::vector<std::uint8_t>& stream);

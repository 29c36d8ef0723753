#pragma once

#include <cstddef>
#include <cstdint>

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

#pragma once

#include <cstdint>
#include <memory>

#include "receiver/StreamInfoRecord.h"
#include "receiver/TPADObject.h"

// Decoded information of one captured audio stream, shared by its holders (the played service
// and listeners that want PAD). Guarded by the event sink's lock.
class TStreamInfo {
public:
    explicit TStreamInfo(std::int32_t streamHandle);

    // Takes one whole frame: the header sets Bitrate and Stereo (a block too short or without
    // sync leaves them), then the PAD step runs.
    void ProcessFrame(const std::uint8_t* frame, std::int32_t length);
    // The record as readers see it, with the PAD's flag and label (cut to 255 characters).
    StreamInfoRecord Record() const;

    std::unique_ptr<TPADObject> PAD;
    std::int32_t Bitrate = 0;
    std::uint8_t Stereo = 0;
    std::int32_t RefCount = 1;
    std::int32_t StreamHandle;

private:
    // From the last valid header; kept for blocks without one.
    int scfCrcLength_ = 4;
};

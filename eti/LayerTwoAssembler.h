#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Cuts an MPEG Layer II sub-channel (its bytes, one ETI frame's worth at a time) into whole audio
// frames, header first and F-PAD last: one frame per ETI frame at 48 kHz, one per two at 24 kHz.
// A frame starts with the sync word and a Layer II header whose frame length is a whole multiple
// of the sub-channel's bytes per ETI frame, and another such header must follow it before the
// first frame is passed on (in step, each next header is expected right after the last frame).
// Bytes before the first such header are dropped and a partial frame is never passed on. One
// thread at a time.
class LayerTwoAssembler {
public:
    using FrameHandler = std::function<void(const std::uint8_t* frame, std::size_t length)>;

    // Adds one ETI frame's bytes of the sub-channel; calls `onFrame` for each frame completed.
    void Push(const std::uint8_t* bytes, std::size_t length, const FrameHandler& onFrame);
    // Forgets collected bytes (the stream was interrupted).
    void Reset();

    // The frame length the header at `header` gives (4 bytes), 0 when it is no Layer II header.
    static std::size_t FrameLength(const std::uint8_t* header);

private:
    std::vector<std::uint8_t> pending_;
    bool locked_ = false;  // the last frame delivered was followed by a header where expected
};

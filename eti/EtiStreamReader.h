#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "eti/EtiFrame.h"

// Cuts a byte stream (a file, a live program's output) into ETI-NI frames. Bytes arrive in any
// pieces. It finds frame sync (either FSYNC value at byte 1 of a 6144-byte frame), keeps it
// while frames follow one another, and searches again byte by byte when one does not. Frames
// that fail to parse are skipped and counted, never passed on. One thread at a time.
class EtiStreamReader {
public:
    struct Counts {
        std::uint64_t frames = 0;        // passed to the handler
        std::uint64_t badCrc = 0;        // header CRC wrong
        std::uint64_t badLength = 0;     // FL or stream lengths impossible
        std::uint64_t skippedBytes = 0;  // dropped while looking for sync, or at the end
        std::uint64_t truncated = 0;     // incomplete last frames dropped by Finish
    };
    using FrameHandler = std::function<void(const EtiFrameView&)>;

    explicit EtiStreamReader(FrameHandler onFrame);

    void Feed(const std::uint8_t* data, std::size_t length);
    // End of the stream: an incomplete last frame is dropped (counted in truncated, its bytes in
    // skippedBytes). The reader then starts afresh for another stream.
    void Finish();
    Counts GetCounts() const { return counts_; }

private:
    // Takes frames and garbage from the front of `data`; returns how many bytes it used. At the
    // end of the stream a damaged frame needs no following sync to be counted as one.
    std::size_t Process(const std::uint8_t* data, std::size_t length, bool end);

    FrameHandler onFrame_;
    std::vector<std::uint8_t> pending_;
    EtiFrameView view_;  // reused: its stream list keeps its storage from frame to frame
    bool synced_ = false;
    Counts counts_;
};

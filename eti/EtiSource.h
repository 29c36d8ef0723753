#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>

#include "eti/EtiConfig.h"
#include "eti/EtiFrame.h"

class EtiStreamReader;

// One ensemble's ETI-NI stream on its own thread: a recording read in real time (one frame each
// 24 ms; as fast as it can when unpaced), or a live command started with posix_spawn (no shell)
// whose standard output is read. The frames go to `frame` on that thread; `ended` is called once
// when the stream ends by itself: with an empty text at a recording's end, else with one line
// saying what went wrong (the command exited, could not start, or wrote no ETI). A live command
// is reaped before `ended` is called. Destruction stops the thread: a running command gets
// SIGTERM, SIGKILL after kKillWait, and is reaped; no callback runs after it returns.
class EtiSource {
public:
    using FrameHandler = std::function<void(const EtiFrameView&)>;
    using EndHandler = std::function<void(const std::string& problem)>;

    static constexpr auto kKillWait = std::chrono::milliseconds(500);
    // Bytes without a single good frame after which a stream counts as garbage.
    static constexpr std::uint64_t kGarbageBytes = 16 * EtiFrame::kSize;

    // `previous` (may be null) is ended first, on the new thread, so that a live command that
    // holds the receiver hardware is gone before the next one starts; the constructor returns
    // at once.
    // A null `entry` (a frequency without a source) only ends `previous`.
    EtiSource(const EtiSourceEntry* entry, double frequencyMHz, bool unpaced, FrameHandler frame,
              EndHandler ended, std::unique_ptr<EtiSource> previous);
    ~EtiSource();

    EtiSource(const EtiSource&) = delete;
    EtiSource& operator=(const EtiSource&) = delete;

private:
    // Feeds bytes; false once the stream has shown itself to be garbage.
    bool Feed(EtiStreamReader& reader, const std::uint8_t* data, std::size_t length);
    void RunFile(std::stop_token stop);
    void RunLive(std::stop_token stop);
    void EndChild(pid_t child);
    std::string Name() const;

    const EtiSourceEntry entry_;
    const bool none_;
    const double frequency_;
    const bool unpaced_;
    FrameHandler frame_;
    EndHandler ended_;
    std::uint64_t fed_ = 0;       // bytes given to the reader
    std::uint64_t lastGood_ = 0;  // fed_ at the last good frame
    std::jthread thread_;
};

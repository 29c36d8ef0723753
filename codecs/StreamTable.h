#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "codecs/BladeEncoder.h"

// One open encoder stream of a be- library.
class EncoderStream {
public:
    virtual ~EncoderStream() = default;
};

// Hands out the 32-bit stream handles of the be- interface, so a stale or made-up handle is
// refused instead of followed. Any thread; one stream is used by one thread at a time.
class StreamTable {
public:
    // 0 when every handle is taken.
    BeStream Add(std::unique_ptr<EncoderStream> stream);
    // Null for an unknown handle.
    EncoderStream* Find(BeStream handle);
    // False for an unknown handle.
    bool Remove(BeStream handle);

private:
    std::mutex mutex_;
    std::map<BeStream, std::unique_ptr<EncoderStream>> streams_;
    BeStream next_ = 1;
};

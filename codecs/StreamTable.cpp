#include "codecs/StreamTable.h"

#include <utility>

BeStream StreamTable::Add(std::unique_ptr<EncoderStream> stream) {
    std::lock_guard lock(mutex_);
    if (streams_.size() >= 0xFFFF) {
        return 0;
    }
    while (next_ == 0 || streams_.contains(next_)) {
        ++next_;
    }
    const BeStream handle = next_++;
    streams_.emplace(handle, std::move(stream));
    return handle;
}

EncoderStream* StreamTable::Find(BeStream handle) {
    std::lock_guard lock(mutex_);
    const auto it = streams_.find(handle);
    return it == streams_.end() ? nullptr : it->second.get();
}

bool StreamTable::Remove(BeStream handle) {
    std::unique_ptr<EncoderStream> gone;
    std::lock_guard lock(mutex_);
    const auto it = streams_.find(handle);
    if (it == streams_.end()) {
        return false;
    }
    gone = std::move(it->second);
    streams_.erase(it);
    return true;
}

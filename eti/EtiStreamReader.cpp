#include "eti/EtiStreamReader.h"

#include <algorithm>
#include <utility>

namespace {

constexpr std::size_t kSyncLength = 4;

bool SyncAt(const std::uint8_t* p) {
    const std::uint32_t sync = (std::uint32_t{p[1]} << 16) | (p[2] << 8) | p[3];
    return sync == EtiFrame::kSyncEven || sync == EtiFrame::kSyncOdd;
}

}  // namespace

EtiStreamReader::EtiStreamReader(FrameHandler onFrame) : onFrame_(std::move(onFrame)) {}

void EtiStreamReader::Feed(const std::uint8_t* data, std::size_t length) {
    // Bytes held over from the last call are topped up to one frame and the next sync at most;
    // once what is left came with this call, the rest is parsed where it lies, without a copy.
    constexpr std::size_t kTopUp = EtiFrame::kSize + kSyncLength;
    while (!pending_.empty() && length > 0) {
        const std::size_t room = pending_.size() < kTopUp ? kTopUp - pending_.size() : 1;
        const std::size_t take = std::min(length, room);
        pending_.insert(pending_.end(), data, data + take);
        data += take;
        length -= take;
        const std::size_t used = Process(pending_.data(), pending_.size(), false);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(used));
        if (pending_.size() <= take) {
            data -= pending_.size();
            length += pending_.size();
            pending_.clear();
        }
    }
    if (pending_.empty()) {
        const std::size_t used = Process(data, length, false);
        pending_.assign(data + used, data + length);
    }
}

void EtiStreamReader::Finish() {
    const std::size_t used = Process(pending_.data(), pending_.size(), true);
    const std::size_t left = pending_.size() - used;
    if (left > 0) {
        if (left >= kSyncLength && SyncAt(pending_.data() + used)) {
            ++counts_.truncated;
        }
        counts_.skippedBytes += left;
    }
    pending_.clear();
    synced_ = false;
}

std::size_t EtiStreamReader::Process(const std::uint8_t* data, std::size_t length, bool end) {
    std::size_t pos = 0;
    while (length - pos >= kSyncLength) {
        const std::uint8_t* frame = data + pos;
        if (!SyncAt(frame)) {
            synced_ = false;
            ++counts_.skippedBytes;
            ++pos;
            continue;
        }
        if (length - pos < EtiFrame::kSize) {
            break;
        }
        const EtiFrameFault fault = EtiFrame::Parse(frame, view_);
        if (fault == EtiFrameFault::None) {
            ++counts_.frames;
            synced_ = true;
            pos += EtiFrame::kSize;
            onFrame_(view_);
            continue;
        }
        // A damaged header with a good sync is a frame when it sits where the last one ended or
        // the next one follows it; elsewhere the sync bytes are a chance match in garbage.
        bool frameHere = synced_;
        if (!frameHere) {
            if (length - pos < EtiFrame::kSize + kSyncLength) {
                if (!end) {
                    break;
                }
                frameHere = true;  // the stream's last frame
            } else {
                frameHere = SyncAt(frame + EtiFrame::kSize);
            }
        }
        if (!frameHere) {
            ++counts_.skippedBytes;
            ++pos;
            continue;
        }
        ++(fault == EtiFrameFault::HeaderCrc ? counts_.badCrc : counts_.badLength);
        synced_ = true;
        pos += EtiFrame::kSize;
    }
    return pos;
}

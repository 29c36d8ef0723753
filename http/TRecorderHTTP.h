#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "recording/TRecorder.h"

class TStreamFeed;

// Feeds one stream listener: each block goes into the service's shared feed (stored once for
// all the service's listeners; the receiver's data thread never touches the network). Counted
// as a stream; wants programme-associated data only when the client asked for titles.
class TRecorderHTTP : public TRecorder {
public:
    TRecorderHTTP(std::int32_t serviceId, const TServiceTablesWrapper& tables,
                  std::shared_ptr<TStreamFeed> feed, bool wantsMetadata);

    int RecorderKind() const override { return kKindStream; }
    bool WantsPAD() const override { return WantsMetadata; }
    void WriteBlock(const std::uint8_t* buffer, std::int32_t count) override;

    // The number of the first frame this listener gets.
    std::uint64_t FirstFrame() const { return first_; }
    // Starts the listener's stream at the feed's next frame. Before the recorder is added.
    void Restart();
    // Any thread: its listener has gone; blocks are ignored until it is taken back.
    void Close() { closed_ = true; }

private:
    std::shared_ptr<TStreamFeed> feed_;
    bool WantsMetadata;
    std::uint64_t first_;
    // Guarded by the feed's lock.
    std::uint64_t claimed_;
    std::atomic<bool> closed_{false};
};

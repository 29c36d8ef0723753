#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/FileDescriptor.h"
#include "recording/TRecorder.h"

// Captures a service's audio into a temporary file while the user still chooses where the
// recording goes, then hands the backlog on to the target at two records per arriving block
// (twice the broadcast rate) and passes blocks straight through once the backlog is gone.
//
// Cache file: records of a 4-byte little-endian signed length n and n bytes of audio, in
// arrival order, no header; made with mkstemp ("dab" prefix) in the temporary directory and
// deleted once drained.
//
// WriteBlock runs on the receiver's data thread while SetTarget runs on the main thread: the
// cache's state is guarded by its own mutex. Destruction is on the main thread after the
// recorder was detached.
class TRecorderCache : public TRecorder {
public:
    TRecorderCache(std::int32_t serviceId, const TServiceTablesWrapper& tables);
    // Hands on every record still cached to the target, deletes the cache file, destroys the
    // target (which closes or converts its file).
    ~TRecorderCache() override;

    int RecorderKind() const override { return kKindRecording; }
    bool WantsPAD() const override { return false; }
    void WriteBlock(const std::uint8_t* buffer, std::int32_t count) override;

    // Takes ownership of `target`. Main thread.
    void SetTarget(std::unique_ptr<TRecorder> target);

    // For tests and diagnostics.
    QString CacheFileName() const;
    bool HasCache() const;
    std::int64_t ReadPosition() const;
    TRecorder* Target() const;

private:
    // Moves at most `records` records (all when negative) to the target; releases the cache
    // once everything in it went on. Caller holds mutex_.
    void DrainLocked(int records);
    void ReleaseCacheLocked();

    mutable std::mutex mutex_;
    QString CacheFileName_;
    // None when the cache could not be made or has been drained.
    FileDescriptor CacheStream;
    // End of the last complete record: the next one goes here.
    std::int64_t WritePosition = 0;
    std::int64_t ReadPosition_ = 0;
    std::unique_ptr<TRecorder> Target_;
};

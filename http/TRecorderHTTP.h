#pragma once

#include "recording/TRecorder.h"

class THTTPSessionThread;

// Feeds one HTTP session's stream: each block goes into the session's queue (the receiver's data
// thread never touches the network). Counted as a stream; wants programme-associated data only
// when the client asked for titles.
class TRecorderHTTP : public TRecorder {
public:
    // `session` is not owned; it owns this recorder and outlives it.
    TRecorderHTTP(std::int32_t serviceId, const TServiceTablesWrapper& tables,
                  THTTPSessionThread& session, bool wantsMetadata);

    int RecorderKind() const override { return kKindStream; }
    bool WantsPAD() const override { return WantsMetadata; }
    void WriteBlock(const std::uint8_t* buffer, std::int32_t count) override;

private:
    THTTPSessionThread& Session;
    bool WantsMetadata;
};

#pragma once

#include <QString>
#include <cstdint>

class TServiceTablesWrapper;

// Base of every consumer of one service's MPEG audio. Owned by whoever created it (record manager,
// timer manager, HTTP session, or a caching recorder for its target); the tuning controller and the
// receiver's event sink only hold it.
class TRecorder {
public:
    // Looks the service's SId and component label up in the tables.
    TRecorder(std::int32_t serviceId, const TServiceTablesWrapper& tables);
    // For callers that already know them (tests, benchmarks).
    TRecorder(std::int32_t serviceId, std::uint32_t sid, QString componentLabel);
    virtual ~TRecorder();

    TRecorder(const TRecorder&) = delete;
    TRecorder& operator=(const TRecorder&) = delete;

    // What RecorderKind answers: the tuning controller counts recordings and streams apart, so
    // that a retune can spare either; any other value is counted nowhere.
    static constexpr int kKindRecording = 0;
    static constexpr int kKindStream = 1;

    virtual int RecorderKind() const = 0;
    // The wrapper must also decode programme-associated data for this recorder's stream.
    virtual bool WantsPAD() const = 0;
    // One block of MPEG audio. Runs on the receiver's data thread inside the event sink's lock:
    // must not throw and must not call back into the sink.
    virtual void WriteBlock(const std::uint8_t* buffer, std::int32_t count) = 0;

    std::int32_t ServiceID() const { return serviceId_; }
    std::uint32_t SId() const { return sid_; }
    const QString& ComponentLabel() const { return componentLabel_; }
    // Written by the wrapper when it attaches the recorder (main thread); 0 until then.
    std::int32_t StreamHandle() const { return streamHandle_; }
    void SetStreamHandle(std::int32_t handle) { streamHandle_ = handle; }

private:
    std::int32_t serviceId_;
    std::uint32_t sid_;
    QString componentLabel_;
    std::int32_t streamHandle_ = 0;
};

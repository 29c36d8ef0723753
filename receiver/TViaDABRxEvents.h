#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "receiver/IViadabRx.h"
#include "receiver/StreamInfoRecord.h"
#include "receiver/TStreamInfo.h"

class TRecorder;

// The receiver component's event sink: hands every data block to the recorders attached to its
// stream and decodes header and PAD for the streams somebody holds information for. `OnData`
// arrives on the component's data thread; every operation runs inside `Lock`. Recorders are held,
// not owned.
class TViaDABRxEvents final : public IViadabRxEvents {
public:
    TViaDABRxEvents();
    ~TViaDABRxEvents();

    TViaDABRxEvents(const TViaDABRxEvents&) = delete;
    TViaDABRxEvents& operator=(const TViaDABRxEvents&) = delete;

    // A recorder that wants PAD also holds the information record of its StreamHandle.
    void AddRecorder(TRecorder* recorder);
    void RemoveRecorder(TRecorder* recorder);
    // The played service's stream (0 none); it holds an information record of its own.
    void SetCurrentStream(std::int32_t handle);
    std::int32_t CurrentStream() const;
    void AddStreamInfo(std::int32_t handle);
    void ReleaseStreamInfo(std::int32_t handle);
    // All zero when no record exists for `handle`.
    StreamInfoRecord GetStreamInfo(std::int32_t handle) const;

    // Acknowledged and ignored.
    RxStatus OnEvent(std::int32_t a, std::int32_t b, std::int32_t c) override;
    // One whole frame of `component`; always answers success and never throws.
    RxStatus OnData(std::int32_t component, const std::uint8_t* buffer,
                    std::int32_t length) override;

private:
    void AddStreamInfoLocked(std::int32_t handle);
    void ReleaseStreamInfoLocked(std::int32_t handle);

    mutable std::mutex Lock;
    std::vector<TRecorder*> RecorderList;
    std::vector<std::unique_ptr<TStreamInfo>> StreamInfos;
    std::int32_t CurrentStream_ = 0;
};

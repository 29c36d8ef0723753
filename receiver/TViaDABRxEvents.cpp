#include "receiver/TViaDABRxEvents.h"

#include <algorithm>

#include "recording/TRecorder.h"

TViaDABRxEvents::TViaDABRxEvents() = default;
TViaDABRxEvents::~TViaDABRxEvents() = default;

void TViaDABRxEvents::AddRecorder(TRecorder* recorder) {
    std::lock_guard guard(Lock);
    RecorderList.push_back(recorder);
    if (recorder->WantsPAD()) {
        AddStreamInfoLocked(recorder->StreamHandle());
    }
}

void TViaDABRxEvents::RemoveRecorder(TRecorder* recorder) {
    std::lock_guard guard(Lock);
    const auto it = std::find(RecorderList.begin(), RecorderList.end(), recorder);
    if (it == RecorderList.end()) {
        return;
    }
    RecorderList.erase(it);
    if (recorder->WantsPAD()) {
        ReleaseStreamInfoLocked(recorder->StreamHandle());
    }
}

void TViaDABRxEvents::SetCurrentStream(std::int32_t handle) {
    std::lock_guard guard(Lock);
    if (CurrentStream_ != 0) {
        ReleaseStreamInfoLocked(CurrentStream_);
    }
    CurrentStream_ = handle;
    if (handle != 0) {
        AddStreamInfoLocked(handle);
    }
}

std::int32_t TViaDABRxEvents::CurrentStream() const {
    std::lock_guard guard(Lock);
    return CurrentStream_;
}

void TViaDABRxEvents::AddStreamInfo(std::int32_t handle) {
    std::lock_guard guard(Lock);
    AddStreamInfoLocked(handle);
}

void TViaDABRxEvents::ReleaseStreamInfo(std::int32_t handle) {
    std::lock_guard guard(Lock);
    ReleaseStreamInfoLocked(handle);
}

void TViaDABRxEvents::AddStreamInfoLocked(std::int32_t handle) {
    for (const auto& info : StreamInfos) {
        if (info->StreamHandle == handle) {
            ++info->RefCount;
            return;
        }
    }
    StreamInfos.push_back(std::make_unique<TStreamInfo>(handle));
}

void TViaDABRxEvents::ReleaseStreamInfoLocked(std::int32_t handle) {
    for (auto it = StreamInfos.begin(); it != StreamInfos.end(); ++it) {
        if ((*it)->StreamHandle == handle) {
            if (--(*it)->RefCount <= 0) {
                StreamInfos.erase(it);
            }
            return;
        }
    }
}

StreamInfoRecord TViaDABRxEvents::GetStreamInfo(std::int32_t handle) const {
    std::lock_guard guard(Lock);
    for (const auto& info : StreamInfos) {
        if (info->StreamHandle == handle) {
            return info->Record();
        }
    }
    return {};
}

RxStatus TViaDABRxEvents::OnEvent(std::int32_t, std::int32_t, std::int32_t) {
    return RxOk;
}

RxStatus TViaDABRxEvents::OnData(std::int32_t component, const std::uint8_t* buffer,
                                 std::int32_t length) {
    if (buffer == nullptr || length <= 0) {
        return RxOk;
    }
    try {
        std::lock_guard guard(Lock);
        for (TRecorder* recorder : RecorderList) {
            if (recorder->StreamHandle() != component) {
                continue;
            }
            // A failing recorder must not starve the others.
            try {
                recorder->WriteBlock(buffer, length);
            } catch (...) {
            }
        }
        for (const auto& info : StreamInfos) {
            if (info->StreamHandle == component) {
                info->ProcessFrame(buffer, length);
            }
        }
    } catch (...) {
    }
    return RxOk;
}

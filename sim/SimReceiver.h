#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>
#include <unordered_map>
#include <vector>

#include "receiver/IViadabRx.h"
#include "receiver/RxEventConnection.h"
#include "sim/AirFile.h"

class FrameLoop;

// The simulated receiver: a DAB receiver listening to the "virtual air" of an air file.
//
// Tuning: any frequency in Band III (174-240 MHz) or L-Band (1452-1492 MHz) is accepted; others
// are refused (ok = 0, nothing changes). Tuning the frequency already tuned changes nothing. The
// ensemble on the frequency (within 0.5 kHz) is received once its settle time has passed: then
// the service list is ready, the ensemble id and services are known and the components are on
// air. A frequency without an ensemble never becomes ready. Error ratio: the ensemble's once
// ready, else 1.0.
//
// Ids: component handles are unique in the whole air and never equal an ensemble or service id.
// Handle-keyed methods accept any handle of the air (on air or not); ensemble and service ids
// are known only while their ensemble is tuned and ready. Id 0 gives empty answers. Unknown ids
// give RxFail from GetNextService, GetPrimaryComponent, GetNextComponent (also for a component
// not of that service), GetLabel, GetAudioType, GetProgrammeType, GetDataType, GetDynamicLabel,
// Start/StopCapture and Start/StopPlayback; a null result pointer gives RxFail everywhere.
// Labels of ensembles, services and components come padded with blanks to 16 characters, as a
// receiver shows them.
//
// Capture: each captured component has its own thread that delivers one whole frame per OnData
// call while the component is on air, paced at one frame per 24 ms (48 kHz) or 48 ms (24 kHz),
// or as fast as it can when unpaced. A paced stream that falls behind catches up with the
// broadcast in bursts of at most 300 ms of frames; after a stall of over 5 s it rejoins the
// broadcast where it is then. Frames follow air time: two captures of one component see
// the same frame at the same moment. Data components are accepted and deliver nothing. After
// StopCapture returns no new OnData call starts for that component (one already running may
// finish). Captures survive a retune and deliver again when their ensemble is back on air.
//
// Playback: one component at a time, through PulseAudio on its own thread, silent when no sound
// server answers; a retune stops it. StartPlayback and StopPlayback never block.
//
// Dynamic labels: GetDynamicLabel gives the entry on air by wall-clock time since the ensemble
// came on air (empty for a remove-label entry, a data component or off air); the captured frames
// carry the entry of the stream's air time in their PAD.
//
// All methods are thread-safe. Unadvise and Release wait for an OnData call in flight (except
// the caller's own, when called from inside OnData); no event starts after they return.
// Release must not be called from inside OnData.
class SimReceiver final : public IViadabRx {
public:
    SimReceiver(Air air, bool unpaced);

    RxStatus Tune(double frequencyMHz, std::int32_t* ok) override;
    RxStatus GetServiceListReady(std::int32_t* ready) override;
    RxStatus GetErrorRatio(double* value) override;
    RxStatus GetEnsembleId(std::int32_t* eid) override;
    RxStatus GetFirstService(std::int32_t* sid) override;
    RxStatus GetNextService(std::int32_t* sid) override;
    RxStatus GetPrimaryComponent(std::int32_t sid, std::int32_t* component) override;
    RxStatus GetNextComponent(std::int32_t sid, std::int32_t* component) override;
    RxStatus GetLabel(std::int32_t id, std::string* label) override;
    RxStatus GetAudioType(std::int32_t component, std::int32_t* value) override;
    RxStatus StartCapture(std::int32_t component) override;
    RxStatus StopCapture(std::int32_t component) override;
    RxStatus StartPlayback(std::int32_t component) override;
    RxStatus StopPlayback(std::int32_t component) override;
    RxStatus GetProgrammeType(std::int32_t sid, std::int32_t* code) override;
    RxStatus GetDataType(std::int32_t component, std::int32_t* code) override;
    RxStatus GetDynamicLabel(std::int32_t component, std::string* text) override;
    RxStatus Advise(IViadabRxEvents* sink, std::int32_t* cookie) override;
    RxStatus Unadvise(std::int32_t cookie) override;
    void Release() override;

private:
    using Clock = std::chrono::steady_clock;

    struct Located {
        const AirEnsemble* ensemble;
        const AirService* service;
        const AirComponent* component;
    };
    // One delivering (or playing) thread. `active` is read under the event connection's lock
    // before each OnData.
    struct Worker {
        std::int32_t handle = 0;
        std::atomic<bool> active{true};
        std::atomic<bool> done{false};
        std::jthread thread;
    };
    // One encoding per component: the first thread to ask encodes under `mutex`, the others wait
    // for its result. A mutex, not std::call_once: a stopped encoding leaves by an exception,
    // which call_once does not survive everywhere (it hangs under ThreadSanitizer).
    struct LoopSlot {
        std::mutex mutex;
        bool done = false;
        std::shared_ptr<const FrameLoop> loop;
    };
    struct OnAir {
        std::uint64_t generation = 0;
        Clock::time_point since;
    };

    ~SimReceiver();

    bool ReadyLocked(Clock::time_point now) const;
    const AirService* ServiceLocked(std::int32_t sid) const;
    const Located* Find(std::int32_t handle) const;
    // The component's frames, encoded by the first thread that asks. Throws WavReader::Stopped
    // when `stop` ends the encoding; null when the audio cannot be made (said on stderr).
    std::shared_ptr<const FrameLoop> Loop(const AirComponent& c, std::stop_token stop);
    bool WaitOnAir(const Located& where, std::stop_token stop, OnAir& on);
    void SleepUntil(Clock::time_point due, std::stop_token stop);
    void Deliver(Worker& w, const std::uint8_t* frame, int length);
    void CaptureLoop(std::stop_token stop, Worker& w, const Located& where);
    void PlaybackLoop(std::stop_token stop, const Located& where);
    void RetireLocked(std::unique_ptr<Worker> w);
    void ReapLocked();

    const Air air_;
    const bool unpaced_;
    std::unordered_map<std::int32_t, Located> components_;

    mutable std::mutex mutex_;  // tuning state and workers
    std::condition_variable_any changed_;
    double tunedFrequency_ = 0;
    const AirEnsemble* tuned_ = nullptr;
    Clock::time_point tuneTime_;
    std::atomic<std::uint64_t> generation_{0};  // changes with every retune
    std::map<std::int32_t, std::unique_ptr<Worker>> captures_;
    std::unique_ptr<Worker> playback_;
    std::vector<std::unique_ptr<Worker>> retired_;

    std::mutex loopsMutex_;
    std::map<std::int32_t, std::shared_ptr<LoopSlot>> loops_;

    RxEventConnection events_;  // its lock is never taken before mutex_
};

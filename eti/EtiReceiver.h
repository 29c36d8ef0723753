#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "eti/DynamicLabelDecoder.h"
#include "eti/EtiConfig.h"
#include "eti/EtiFrame.h"
#include "eti/FicDecoder.h"
#include "eti/LayerTwoAssembler.h"
#include "receiver/IViadabRx.h"
#include "receiver/RxEventConnection.h"

class EtiSource;
class LivePlayer;

// A DAB receiver that reads ETI-NI streams (recordings or live commands, eti/ETI_CONFIG.md).
//
// Tuning: any Band III or L-Band frequency is accepted (ok = 1), others are refused (ok = 0,
// nothing changes); tuning the frequency already tuned changes nothing unless its source has
// ended (a recording without loop, a failed command), which then starts over. A tune ends the
// previous source and starts the one configured for the frequency; a frequency without one
// receives nothing (never ready), as an empty channel does. The service list is ready once the
// FIC has told the ensemble's identity and label and every service's label and sub-channels,
// and then nothing new for a second (42 frames).
// Error ratio: the frames' error level (ERR 0-3 as 0 to 0.1), averaged over the last second;
// 1.0 while no frame arrives, without a source, and once it ended or failed.
//
// Ids: EIds and SIds as broadcast. Component handles come from the ensemble's EId, the SId and
// the component's sub-channel (or packet address), so the same ensemble gives the same handles
// in every run; they lie in 0x10001-0xFFFFFF and never equal an EId or SId of the ensemble.
// Handle-keyed methods accept every component seen since the component was created; ensemble
// and service ids are known only while their ensemble is tuned and ready. Id 0 gives empty
// answers; unknown ids give RxFail (except the component enumeration of a service not on air,
// which answers 0); a null result pointer gives RxFail everywhere. Labels are UTF-8, padded
// with blanks to 16 characters; a component without a label of its own has its service's.
// GetAudioType: 1 for MPEG Layer II, 2 for DAB+ (ASCTy 63), 0 for data; GetDataType: the DSCTy
// of a data component, 0 for audio.
//
// Capture: the source's thread delivers, through OnData, each whole Layer II frame of a captured
// component as its sub-channel carries it (header first, F-PAD last): one per ETI frame at
// 48 kHz, one per two at 24 kHz. Captures survive a retune and deliver again when their
// ensemble is back. DAB+ components give RxNotImplemented; data components are accepted and
// deliver nothing. After StopCapture returns no new OnData call starts for the component.
//
// Playback: one component at a time, decoded with libmpg123 and played through PulseAudio on
// its own thread; silent when no sound server answers; a retune stops it; never blocks.
//
// Dynamic labels: GetDynamicLabel gives the label last decoded from the PAD of a captured or
// played component (short or variable size X-PAD), empty otherwise.
//
// A source that fails (a command that exits, cannot start or writes no ETI) is reported as one
// line through the reporter. All methods are thread-safe. Unadvise and Release wait for an
// OnData call in flight (except the caller's own, from inside OnData); no event starts after
// they return. Release must not be called from inside OnData.
class EtiReceiver final : public IViadabRx {
public:
    using Reporter = std::function<void(const std::string& line)>;

    EtiReceiver(EtiConfigData config, Reporter reporter);

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

    // A component seen on air.
    struct Known {
        std::uint16_t eid = 0;
        std::uint32_t sid = 0;
        int key = 0;  // sub-channel, or 0x10000 + packet address
        FicComponent component;
        std::string label;
        bool audio() const { return component.tmid == 0; }
        bool dabPlus() const { return audio() && component.type == 63; }
    };
    struct Service {
        std::uint32_t sid = 0;
        std::vector<std::int32_t> components;  // primary first
    };
    // Frames of a captured or played component being cut from its sub-channel.
    struct Active {
        LayerTwoAssembler assembler;
        DynamicLabelDecoder labels;
        bool captured = false;
        bool played = false;
    };

    ~EtiReceiver();

    void OnFrame(std::uint64_t generation, const EtiFrameView& view);
    void OnEnded(std::uint64_t generation, const std::string& problem);
    // Brings ids and services up to date with what the FIC has told so far.
    void RefreshLocked();
    std::size_t FicShapeLocked() const;
    bool ReadyLocked() const;
    const Service* ServiceLocked(std::int32_t sid);
    const Known* FindLocked(std::int32_t handle);
    void DropInactiveLocked(std::int32_t handle);
    void RetirePlayerLocked();
    void Deliver(std::int32_t handle, const std::vector<std::uint8_t>& frame);

    const EtiConfigData config_;
    const Reporter report_;

    mutable std::mutex mutex_;  // everything below but the sink's state
    double tunedFrequency_ = 0;
    std::uint64_t generation_ = 0;  // changes with every retune
    std::unique_ptr<EtiSource> source_;
    bool receiving_ = false;  // a source runs and has not ended
    FicDecoder fic_;
    bool dirty_ = true;               // the FIC was fed since the last refresh
    std::uint64_t ficFrames_ = 0;     // FICs fed since the tune
    std::uint64_t ficChangedAt_ = 0;  // ... when what they told last changed
    std::size_t ficShape_ = 0;
    std::deque<int> levels_;  // error levels of the last second's frames
    int levelSum_ = 0;
    Clock::time_point lastFrame_;
    int lastFct_ = -1;
    std::map<std::int32_t, Known> known_;
    std::vector<Service> services_;  // of the tuned ensemble, once known
    std::map<std::int32_t, std::unique_ptr<Active>> active_;
    std::int32_t playing_ = 0;
    std::unique_ptr<LivePlayer> player_;
    std::vector<std::unique_ptr<LivePlayer>> retiredPlayers_;

    RxEventConnection events_;           // its lock is never taken before mutex_
    std::set<std::int32_t> delivering_;  // captured components, under events_' lock
};

#pragma once

#include <QList>
#include <QString>
#include <QThread>
#include <cstdint>
#include <functional>
#include <memory>

#include "receiver/StreamInfoRecord.h"
#include "receiver/TReceiverComponent.h"
#include "receiver/TViaDABRxEvents.h"

class TRecorder;

// One component whose data is being captured, and how many hold it.
struct TVDWCap {
    std::int32_t Component = 0;
    std::int32_t RefCount = 1;
};

// A service the receiver lists on the tuned ensemble: the service itself (empty label) or one of
// its further components (the component's trimmed label).
struct TVDService {
    std::uint32_t SId = 0;
    QString ComponentLabel;
    bool operator==(const TVDService&) const = default;
};

// An attached recorder and the decimal text of the component handle it was attached to.
struct TVDWRecorderEntry {
    QString Handle;
    TRecorder* Recorder = nullptr;
};

// Owns the receiver component and its event sink and turns the component's interface into the
// operations the tuning controller needs. Knows services by SId and component handles only.
//
// Threads: every operation runs on the main thread, where the wrapper was created. The tuning
// controller is its only caller, and other threads (the HTTP sessions) reach the controller only
// through its blocking hand-off to the main thread, so `Captures` and `Recorders` need no lock of
// their own: their changes are serialised by the main thread. Debug builds assert it. Only the
// sink's `OnData` runs elsewhere; the sink guards its own lists.
//
// A component method that answers a failure status raises ReceiverError to the caller; the steps
// of the operation already done stay done. Without a component (released, or the factory gave
// none) every receiver operation answers its empty value.
class TViaDABWrapper {
public:
    // Makes a new component; raises ReceiverError when it cannot. May return null (no receiver).
    using ComponentFactory = std::function<std::unique_ptr<TReceiverComponent>()>;

    // Connects at once: a component that cannot be created raises here.
    explicit TViaDABWrapper(ComponentFactory factory);
    // Stops playback of the selected service, then releases the component.
    ~TViaDABWrapper();

    TViaDABWrapper(const TViaDABWrapper&) = delete;
    TViaDABWrapper& operator=(const TViaDABWrapper&) = delete;

    // Creates the component and connects the sink unless there is one or it was released.
    // True when a component exists.
    bool Connect();
    void Disconnect();
    // True: release the component (another program may take the receiver); false: take it again.
    void SetReleased(bool flag);

    // Deselects the service, then tunes (MHz). False for 0 or a refused tune.
    bool Tune(double frequency);
    bool IsServiceListReady();
    // Per cent: 100 - 1000 x error ratio, rounded half to even, never negative; 0 without receiver.
    int GetSignalLevel();
    QString GetReceiverEnsembleLabel();
    QString GetReceiverServiceLabel(std::uint32_t sid);
    std::int32_t GetReceiverProgrammeType(std::uint32_t sid);
    // 'A' audio, 'T' data of type 5, 'D' other data; a blank without receiver.
    QChar GetReceiverServiceKind(std::uint32_t sid);
    // Replaces `list` with the services of the tuned ensemble (and their further components).
    void ListReceiverServices(QList<TVDService>& list, bool withComponents);
    // The component of a service: the primary one for an empty label, else the first whose
    // trimmed label matches exactly; 0 when none.
    std::int32_t FindComponent(std::uint32_t sid, const QString& componentLabel);
    bool IsServiceAvailable(std::uint32_t sid, const QString& componentLabel);
    // Plays one service on the receiver (SId 0 stops); `withInfo` also captures it so its
    // stream information is decoded. Selecting the selected service does nothing.
    void SelectService(std::uint32_t sid, const QString& componentLabel, bool withInfo);
    void SetInfoCapture(bool flag);
    StreamInfoRecord GetCurrentStreamInfo();
    // The decoded label of the selected service, else the component's own.
    QString GetCurrentDynamicLabel();
    QString GetStreamDynamicLabel(std::int32_t handle);
    // Finds the recorder's component, stores it as its StreamHandle and feeds it from now on.
    // The recorder is held, not owned, until DetachRecorder.
    void AttachRecorder(TRecorder* recorder);
    void DetachRecorder(TRecorder* recorder);
    // Counted capture: the component's capture starts with the first holder of a handle and
    // stops when the last lets go.
    void OpenCapture(std::int32_t handle);
    void CloseCapture(std::int32_t handle);

    // State (main thread).
    bool IsConnected() const { return component_ != nullptr; }
    bool Released() const { return released_; }
    double TunedFrequency() const { return tunedFrequency_; }
    std::uint32_t CurrentSId() const { return currentSId_; }
    const QString& CurrentLabel() const { return currentLabel_; }
    std::int32_t CurrentComponent() const { return currentComponent_; }
    bool InfoCapture() const { return infoCapture_; }
    const QList<TVDWCap>& Captures() const { return captures_; }
    const QList<TVDWRecorderEntry>& Recorders() const { return recorders_; }
    // The sink while connected, else null.
    TViaDABRxEvents* Events() const { return events_.get(); }

private:
    IViadabRx& Rx() const { return component_->Rx(); }
    void AssertMainThread() const;

    ComponentFactory factory_;
    QThread* owner_;
    std::unique_ptr<TReceiverComponent> component_;
    std::unique_ptr<TViaDABRxEvents> events_;
    std::int32_t eventCookie_ = 0;
    QList<TVDWCap> captures_;
    double tunedFrequency_ = 0;
    std::uint32_t currentSId_ = 0;
    QString currentLabel_;
    std::int32_t currentComponent_ = 0;
    bool infoCapture_ = false;
    QList<TVDWRecorderEntry> recorders_;
    bool released_ = false;
};

// The one instance of the running program (null in tests that build their own).
extern TViaDABWrapper* ViaDABWrapper;

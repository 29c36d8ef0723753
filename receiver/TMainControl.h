#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "platform/TaskPoster.h"
#include "receiver/StreamInfoRecord.h"
#include "receiver/TViaDABWrapper.h"
#include "recording/TRecorderHost.h"

class TRecorder;
class TServiceTablesWrapper;

// Decides what the receiver is tuned to and which service it plays, and holds every consumer of
// audio. A request to play a service or feed a recorder becomes: tune the service's ensemble,
// poll until the receiver reports the tune complete, merge the ensemble into the service tables,
// then select the service and attach the recorders. Counts file recordings and streams so that
// callers can avoid retuning under them.
//
// Main thread only (debug builds assert it); other threads call it through RunOnMainThread.
// Receiver failures (ReceiverError) reach the caller of the operation.
class TMainControl : public QObject, public TRecorderHost {
    Q_OBJECT

public:
    // The collaborators are not owned and must outlive the controller.
    TMainControl(TViaDABWrapper& receiver, TServiceTablesWrapper& tables,
                 QObject* parent = nullptr);
    // Frees its lists; the recorders in them stay with their owners.
    ~TMainControl() override;

    // Runs `task` on the controller's thread and waits for it: at once when called there, else
    // through the event loop (which must be running). An exception of the task is raised again
    // in the calling thread. A task still waiting when the controller is destroyed never runs.
    void RunOnMainThread(const std::function<void()>& task);
    // Main thread: runs the other threads' calls waiting now.
    void RunPendingCalls();

    // Plays the service (ServiceID 0 stops playing), tuning its ensemble first when needed.
    void PlayService(std::int32_t serviceId, bool showAudioInfo);
    // The service waiting for a tune, else the one playing; 0 none.
    std::int32_t CurrentService() const;
    // Starts a tune to an ensemble (MHz). True when accepted or already tuned there; a refusal
    // is shown to the user.
    bool TuneFrequency(double frequency);
    // Tunes like TuneFrequency, only to leave the current frequency: the ensemble found there is
    // not merged, so the tables stay as they are. The next tune learns again.
    bool TuneAway(double frequency);
    // May this service be tuned without disturbing a recording (or stream) on another ensemble.
    bool CanUseService(std::int32_t serviceId, bool recordingsOnly) const;
    // Feeds the recorder as soon as its service's ensemble is tuned; counts it by kind.
    void AddRecorder(TRecorder* recorder) override;
    // Takes a recorder back from whichever list holds it; never destroys it.
    void RemoveRecorder(TRecorder* recorder) override;

    bool HasRecordings() const { return RecordingCount >= 1; }
    bool HasStreams() const { return StreamingCount >= 1; }
    bool IsBusy() const { return HasRecordings() || HasStreams(); }
    // The tuned frequency while busy; -1.0 during a scan; else 0.0.
    double LockedFrequency() const;
    bool IsServiceOnAir(std::int32_t serviceId);

    double TunedFrequency() const { return receiver_.TunedFrequency(); }
    std::uint32_t TunedSId() const { return receiver_.CurrentSId(); }
    int SignalLevel();
    QString GetDynamicLabel();
    QString GetStreamLabel(std::int32_t streamHandle);
    QString EnsembleLabel();
    StreamInfoRecord GetStreamInfo();
    void SetShowAudioInfo(bool on);
    bool AudioInfoEnabled() const { return receiver_.InfoCapture(); }
    // System suspend (true) and resume (false): the receiver is released and taken again.
    void SetSuspended(bool on);

    // Set and cleared by a channel scan, which then owns the receiver.
    void SetScanLock(bool on) { ScanLock = on; }
    bool GetScanLock() const { return ScanLock; }

    // Line feed and 0x0B become blanks, 0x1F goes.
    static QString CleanLabel(const QString& text);

    // The 100 ms tick while a tune is in progress; public so tests can drive it. A receiver
    // failure is shown in an error box and the polling goes on.
    void TheTimerTimer();
    void CompleteTuning();
    void LearnEnsemble();
    void SelectPlayingService(std::int32_t serviceId, bool showAudioInfo);

    // State, for the bar and tests.
    bool IsSettled() const { return Settled; }
    bool IsTuning() const { return TheTimer.isActive(); }
    std::int32_t PendingServiceID() const { return PendingService; }
    std::int32_t PlayingServiceID() const { return PlayingService; }
    const QList<TVDService>& GetEnsembleServices() const { return EnsembleServices; }
    int RecordingCountValue() const { return RecordingCount; }
    int StreamingCountValue() const { return StreamingCount; }
    const QList<TRecorder*>& GetPendingRecorders() const { return PendingRecorders; }
    const QList<TRecorder*>& GetAttachedRecorders() const { return AttachedRecorders; }

private:
    void AssertMainThread() const;
    void Count(TRecorder* recorder, int delta);

    TViaDABWrapper& receiver_;
    TServiceTablesWrapper& tables_;

    QTimer TheTimer;
    QList<TVDService> EnsembleServices;
    bool Settled = false;
    std::int32_t PendingService = 0;
    bool PendingAudioInfo = false;
    std::int32_t PlayingService = 0;
    QList<TRecorder*> PendingRecorders;
    QList<TRecorder*> AttachedRecorders;
    std::int32_t RecordingCount = 0;
    std::int32_t StreamingCount = 0;
    bool ScanLock = false;
    // The tune in progress merges its ensemble into the tables when it completes.
    bool learnOnSettle_ = true;
    bool inTick_ = false;
    // Other threads' calls; a child, so it follows the controller to its thread.
    TaskPoster handOff_{this};
};

// The one instance of the running program (null in tests that build their own).
extern TMainControl* MainControl;

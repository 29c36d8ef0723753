#include "receiver/TMainControl.h"

#include <QThread>
#include <exception>

#include "platform/Dialogs.h"
#include "platform/Formats.h"
#include "recording/TRecorder.h"
#include "services/TServiceTablesWrapper.h"

TMainControl* MainControl = nullptr;

namespace {

constexpr int kTimerInterval = 100;  // ms

}  // namespace

TMainControl::TMainControl(TViaDABWrapper& receiver, TServiceTablesWrapper& tables, QObject* parent)
    : QObject(parent), receiver_(receiver), tables_(tables) {
    TheTimer.setInterval(kTimerInterval);
    connect(&TheTimer, &QTimer::timeout, this, &TMainControl::TheTimerTimer);
}

TMainControl::~TMainControl() = default;

void TMainControl::AssertMainThread() const {
    Q_ASSERT(QThread::currentThread() == thread());
}

void TMainControl::RunOnMainThread(const std::function<void()>& task) {
    if (QThread::currentThread() == thread()) {
        task();
        return;
    }
    handOff_.RunAndWait(task);
}

void TMainControl::RunPendingCalls() {
    AssertMainThread();
    handOff_.RunPending();
}

void TMainControl::PlayService(std::int32_t serviceId, bool showAudioInfo) {
    AssertMainThread();
    const double frequency = tables_.GetServiceFrequency(serviceId);
    if (serviceId == 0) {
        SelectPlayingService(0, false);
        PendingService = 0;
        PendingAudioInfo = false;
        return;
    }
    if (frequency != TunedFrequency()) {
        PendingService = serviceId;
        PendingAudioInfo = showAudioInfo;
        TuneFrequency(frequency);
        return;
    }
    if (!Settled) {
        PendingService = serviceId;
        PendingAudioInfo = showAudioInfo;
        return;
    }
    SelectPlayingService(serviceId, showAudioInfo);
}

std::int32_t TMainControl::CurrentService() const {
    return PendingService != 0 ? PendingService : PlayingService;
}

bool TMainControl::TuneFrequency(double frequency) {
    AssertMainThread();
    if (frequency == 0) {
        return false;
    }
    if (frequency == TunedFrequency()) {
        return true;
    }
    // Recordings and streams on the old ensemble stop receiving and stop being counted; their
    // owners keep the recorders.
    while (!AttachedRecorders.isEmpty()) {
        RemoveRecorder(AttachedRecorders.first());
    }
    if (receiver_.Tune(frequency)) {
        Settled = false;
        learnOnSettle_ = true;
        TheTimer.start();
        return true;
    }
    PendingService = 0;
    PendingAudioInfo = false;
    Dialogs::Instance().MessageBox(DialogKind::Error,
                                   QStringLiteral("Unable to tune to ") + FormatFloat(frequency) +
                                       QStringLiteral("MHz (") +
                                       tables_.GetEnsembleLabel(frequency) + QStringLiteral(")."),
                                   DialogButtons::Cancel);
    return false;
}

bool TMainControl::TuneAway(double frequency) {
    AssertMainThread();
    const bool wasTuned = frequency == TunedFrequency();
    const bool accepted = TuneFrequency(frequency);
    if (accepted && !wasTuned) {
        learnOnSettle_ = false;
    }
    return accepted;
}

void TMainControl::TheTimerTimer() {
    AssertMainThread();
    // A message box below runs a nested event loop in which the timer goes on firing: one tick
    // at a time, so a receiver that keeps failing shows one box, not a stack of them.
    if (inTick_) {
        return;
    }
    inTick_ = true;
    try {
        if (!Settled && receiver_.IsServiceListReady()) {
            CompleteTuning();
        }
    } catch (const std::exception& e) {
        // Nobody above the event loop could take it: tell the user, as any failed action would.
        Dialogs::Instance().MessageBox(DialogKind::Error, QString::fromLocal8Bit(e.what()),
                                       DialogButtons::Ok);
    }
    inTick_ = false;
}

void TMainControl::CompleteTuning() {
    AssertMainThread();
    TheTimer.stop();
    Settled = true;
    EnsembleServices.clear();
    receiver_.ListReceiverServices(EnsembleServices, true);
    if (learnOnSettle_) {
        LearnEnsemble();
    }
    while (!PendingRecorders.isEmpty()) {
        TRecorder* recorder = PendingRecorders.first();
        receiver_.AttachRecorder(recorder);
        AttachedRecorders.append(recorder);
        PendingRecorders.removeFirst();
    }
    const std::int32_t service = PendingService;
    const bool audioInfo = PendingAudioInfo;
    PendingService = 0;
    PendingAudioInfo = false;
    if (service != 0) {
        SelectPlayingService(service, audioInfo);
    }
}

void TMainControl::LearnEnsemble() {
    AssertMainThread();
    const double frequency = TunedFrequency();
    tables_.SetEnsembleLabel(receiver_.GetReceiverEnsembleLabel(), frequency);
    for (const TVDService& entry : EnsembleServices) {
        const std::uint32_t sid = entry.SId;
        if (entry.ComponentLabel.isEmpty()) {
            const QString label = receiver_.GetReceiverServiceLabel(sid);
            const QChar kind = receiver_.GetReceiverServiceKind(sid);
            const std::int32_t programmeType = receiver_.GetReceiverProgrammeType(sid);
            tables_.AddService(sid, 0, label, kind, programmeType, frequency);
        } else {
            const std::int32_t secondary =
                tables_.AllocateSecondary(sid, entry.ComponentLabel, true);
            const QChar kind = receiver_.GetReceiverServiceKind(sid);
            const std::int32_t programmeType = receiver_.GetReceiverProgrammeType(sid);
            tables_.AddService(sid, secondary, entry.ComponentLabel, kind, programmeType,
                               frequency);
        }
    }
    tables_.SaveTables();
}

void TMainControl::SelectPlayingService(std::int32_t serviceId, bool showAudioInfo) {
    AssertMainThread();
    const std::uint32_t sid = tables_.GetServiceSId(serviceId);
    const QString componentLabel = tables_.GetComponentLabel(serviceId);
    receiver_.SelectService(sid, componentLabel, showAudioInfo);
    PlayingService = serviceId;
    // The selection stands either way: the bar goes on showing the service.
    if (serviceId != 0 && !receiver_.IsServiceAvailable(sid, componentLabel)) {
        Dialogs::Instance().MessageBox(DialogKind::Plain,
                                       QStringLiteral("Service is currently unavailable."),
                                       DialogButtons::Ok);
    }
}

bool TMainControl::CanUseService(std::int32_t serviceId, bool recordingsOnly) const {
    AssertMainThread();
    if (serviceId == 0) {
        return true;
    }
    if (ScanLock) {
        return false;
    }
    const bool busy = recordingsOnly ? HasRecordings() : IsBusy();
    return !(busy && TunedFrequency() != 0 &&
             tables_.GetServiceFrequency(serviceId) != TunedFrequency());
}

void TMainControl::Count(TRecorder* recorder, int delta) {
    switch (recorder->RecorderKind()) {
        case TRecorder::kKindRecording:
            RecordingCount += delta;
            break;
        case TRecorder::kKindStream:
            StreamingCount += delta;
            break;
        default:
            break;
    }
}

void TMainControl::AddRecorder(TRecorder* recorder) {
    AssertMainThread();
    const double frequency = tables_.GetServiceFrequency(recorder->ServiceID());
    if (frequency == TunedFrequency() && Settled) {
        receiver_.AttachRecorder(recorder);
        AttachedRecorders.append(recorder);
    } else {
        TuneFrequency(frequency);
        PendingRecorders.append(recorder);
    }
    Count(recorder, +1);
}

void TMainControl::RemoveRecorder(TRecorder* recorder) {
    AssertMainThread();
    if (const qsizetype i = PendingRecorders.indexOf(recorder); i >= 0) {
        Count(recorder, -1);
        PendingRecorders.removeAt(i);
    }
    if (const qsizetype i = AttachedRecorders.indexOf(recorder); i >= 0) {
        Count(recorder, -1);
        // Off the list before the wrapper is asked: even when the receiver fails to stop the
        // capture, the owner gets its recorder back.
        AttachedRecorders.removeAt(i);
        receiver_.DetachRecorder(recorder);
    }
}

double TMainControl::LockedFrequency() const {
    AssertMainThread();
    if (IsBusy()) {
        return TunedFrequency();
    }
    return ScanLock ? -1.0 : 0.0;
}

bool TMainControl::IsServiceOnAir(std::int32_t serviceId) {
    AssertMainThread();
    if (serviceId == 0 || !Settled) {
        return false;
    }
    return receiver_.IsServiceAvailable(tables_.GetServiceSId(serviceId),
                                        tables_.GetComponentLabel(serviceId));
}

int TMainControl::SignalLevel() {
    AssertMainThread();
    return receiver_.GetSignalLevel();
}

QString TMainControl::GetDynamicLabel() {
    AssertMainThread();
    return CleanLabel(receiver_.GetCurrentDynamicLabel());
}

QString TMainControl::GetStreamLabel(std::int32_t streamHandle) {
    AssertMainThread();
    return CleanLabel(receiver_.GetStreamDynamicLabel(streamHandle));
}

QString TMainControl::EnsembleLabel() {
    AssertMainThread();
    return receiver_.GetReceiverEnsembleLabel();
}

StreamInfoRecord TMainControl::GetStreamInfo() {
    AssertMainThread();
    return receiver_.GetCurrentStreamInfo();
}

void TMainControl::SetShowAudioInfo(bool on) {
    AssertMainThread();
    receiver_.SetInfoCapture(on);
}

void TMainControl::SetSuspended(bool on) {
    AssertMainThread();
    receiver_.SetReleased(on);
}

QString TMainControl::CleanLabel(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() == 0x1F) {
            continue;
        }
        out += (c.unicode() == 0x0A || c.unicode() == 0x0B) ? QChar(u' ') : c;
    }
    return out;
}

#include "receiver/TViaDABWrapper.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "receiver/ReceiverError.h"
#include "recording/TRecorder.h"

TViaDABWrapper* ViaDABWrapper = nullptr;

namespace {

// A misbehaving component must not hang the main thread: no ensemble lists this many services,
// nor a service this many components.
constexpr int kMaxSteps = 4096;

constexpr const char* kNotDecodableText =
    "This service broadcasts DAB+ audio, which this receiver cannot play or record yet.";

void Check(RxStatus status, const char* method) {
    if (status == RxNotImplemented) {
        // The component lists the service but cannot hand its audio on (DAB+ today): say so
        // rather than start a silent stream.
        throw ReceiverError(kNotDecodableText, status);
    }
    if (status != RxOk) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(status));
        throw ReceiverError(
            std::string("The receiver failed in ") + method + " (error " + code + ").", status);
    }
}

// Blanks and control characters off both ends, as the receiver pads its labels.
QString TrimLabel(const std::string& label) {
    std::size_t begin = 0;
    std::size_t end = label.size();
    while (begin < end && static_cast<unsigned char>(label[begin]) <= ' ') {
        ++begin;
    }
    while (end > begin && static_cast<unsigned char>(label[end - 1]) <= ' ') {
        --end;
    }
    return QString::fromUtf8(label.data() + begin, static_cast<qsizetype>(end - begin));
}

int RoundHalfToEven(double value) {
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) {
        whole += 1.0;
    }
    return static_cast<int>(whole);
}

}  // namespace

TViaDABWrapper::TViaDABWrapper(ComponentFactory factory)
    : factory_(std::move(factory)), owner_(QThread::currentThread()) {
    Connect();
}

TViaDABWrapper::~TViaDABWrapper() {
    // Not a reason to create a component: only a connected one needs its playback stopped.
    if (IsConnected()) {
        try {
            Tune(0);
        } catch (...) {
        }
    }
    try {
        Disconnect();
    } catch (...) {
    }
}

void TViaDABWrapper::AssertMainThread() const {
    Q_ASSERT(QThread::currentThread() == owner_);
}

bool TViaDABWrapper::Connect() {
    AssertMainThread();
    if (component_ == nullptr && !released_ && factory_) {
        std::unique_ptr<TReceiverComponent> component = factory_();
        if (component == nullptr) {
            return false;
        }
        auto events = std::make_unique<TViaDABRxEvents>();
        std::int32_t cookie = 0;
        Check(component->Rx().Advise(events.get(), &cookie), "Advise");
        component_ = std::move(component);
        events_ = std::move(events);
        eventCookie_ = cookie;
    }
    return component_ != nullptr;
}

void TViaDABWrapper::Disconnect() {
    AssertMainThread();
    if (component_ == nullptr) {
        events_.reset();
        return;
    }
    const RxStatus status = Rx().Unadvise(eventCookie_);
    // Release ends the component's data thread, so no event can reach the sink once it goes.
    component_.reset();
    events_.reset();
    eventCookie_ = 0;
    Check(status, "Unadvise");
}

void TViaDABWrapper::SetReleased(bool flag) {
    AssertMainThread();
    released_ = flag;
    if (!flag) {
        Connect();
    } else {
        Disconnect();
        tunedFrequency_ = 0;
    }
}

bool TViaDABWrapper::Tune(double frequency) {
    if (!Connect()) {
        return false;
    }
    SelectService(0, QString(), false);
    if (frequency == 0) {
        return false;
    }
    std::int32_t ok = 0;
    Check(Rx().Tune(frequency, &ok), "Tune");
    if (ok == 0) {
        return false;
    }
    tunedFrequency_ = frequency;
    return true;
}

bool TViaDABWrapper::IsServiceListReady() {
    if (!Connect()) {
        return false;
    }
    std::int32_t ready = 0;
    Check(Rx().GetServiceListReady(&ready), "GetServiceListReady");
    return ready != 0;
}

int TViaDABWrapper::GetSignalLevel() {
    if (!Connect()) {
        return 0;
    }
    double ratio = 0;
    Check(Rx().GetErrorRatio(&ratio), "GetErrorRatio");
    const double level = 100.0 - 1000.0 * ratio;
    if (!(level > 0)) {
        return 0;  // negative, and a ratio that is not a number
    }
    if (level >= static_cast<double>(INT_MAX)) {
        return INT_MAX;
    }
    return RoundHalfToEven(level);
}

QString TViaDABWrapper::GetReceiverEnsembleLabel() {
    if (!Connect()) {
        return {};
    }
    std::int32_t eid = 0;
    Check(Rx().GetEnsembleId(&eid), "GetEnsembleId");
    std::string label;
    Check(Rx().GetLabel(eid, &label), "GetLabel");
    return TrimLabel(label);
}

QString TViaDABWrapper::GetReceiverServiceLabel(std::uint32_t sid) {
    if (!Connect()) {
        return {};
    }
    std::string label;
    Check(Rx().GetLabel(static_cast<std::int32_t>(sid), &label), "GetLabel");
    return TrimLabel(label);
}

std::int32_t TViaDABWrapper::GetReceiverProgrammeType(std::uint32_t sid) {
    if (!Connect()) {
        return 0;
    }
    std::int32_t code = 0;
    Check(Rx().GetProgrammeType(static_cast<std::int32_t>(sid), &code), "GetProgrammeType");
    return code;
}

QChar TViaDABWrapper::GetReceiverServiceKind(std::uint32_t sid) {
    if (!Connect()) {
        return QLatin1Char(' ');
    }
    std::int32_t primary = 0;
    Check(Rx().GetPrimaryComponent(static_cast<std::int32_t>(sid), &primary),
          "GetPrimaryComponent");
    std::int32_t audio = 0;
    Check(Rx().GetAudioType(primary, &audio), "GetAudioType");
    if (audio != 0) {
        return QLatin1Char('A');
    }
    std::int32_t dataType = 0;
    Check(Rx().GetDataType(primary, &dataType), "GetDataType");
    return QLatin1Char(dataType == 5 ? 'T' : 'D');
}

void TViaDABWrapper::ListReceiverServices(QList<TVDService>& list, bool withComponents) {
    list.clear();
    if (!Connect()) {
        return;
    }
    std::int32_t sid = 0;
    Check(Rx().GetFirstService(&sid), "GetFirstService");
    for (int services = 0; sid != 0 && services < kMaxSteps; ++services) {
        list.append(TVDService{static_cast<std::uint32_t>(sid), QString()});
        if (withComponents) {
            std::int32_t component = 0;
            Check(Rx().GetPrimaryComponent(sid, &component), "GetPrimaryComponent");
            for (int steps = 0; steps < kMaxSteps; ++steps) {
                Check(Rx().GetNextComponent(sid, &component), "GetNextComponent");
                if (component == 0) {
                    break;
                }
                std::string label;
                Check(Rx().GetLabel(component, &label), "GetLabel");
                list.append(TVDService{static_cast<std::uint32_t>(sid), TrimLabel(label)});
            }
        }
        Check(Rx().GetNextService(&sid), "GetNextService");
    }
}

std::int32_t TViaDABWrapper::FindComponent(std::uint32_t sid, const QString& componentLabel) {
    if (!Connect() || sid == 0) {
        return 0;
    }
    const auto id = static_cast<std::int32_t>(sid);
    std::int32_t component = 0;
    Check(Rx().GetPrimaryComponent(id, &component), "GetPrimaryComponent");
    if (component != 0 && componentLabel.isEmpty()) {
        return component;
    }
    for (int steps = 0; steps < kMaxSteps; ++steps) {
        Check(Rx().GetNextComponent(id, &component), "GetNextComponent");
        if (component == 0) {
            return 0;
        }
        std::string label;
        Check(Rx().GetLabel(component, &label), "GetLabel");
        if (TrimLabel(label) == componentLabel) {
            return component;
        }
    }
    return 0;
}

bool TViaDABWrapper::IsServiceAvailable(std::uint32_t sid, const QString& componentLabel) {
    return FindComponent(sid, componentLabel) != 0;
}

void TViaDABWrapper::SelectService(std::uint32_t sid, const QString& componentLabel,
                                   bool withInfo) {
    if (!Connect()) {
        return;
    }
    if (sid == currentSId_ && componentLabel == currentLabel_) {
        return;
    }
    if (infoCapture_) {
        infoCapture_ = false;
        CloseCapture(currentComponent_);
    }
    events_->SetCurrentStream(0);
    if (currentSId_ != 0) {
        Check(Rx().StopPlayback(currentComponent_), "StopPlayback");
    }
    currentSId_ = sid;
    currentLabel_ = componentLabel;
    currentComponent_ = 0;
    currentComponent_ = FindComponent(sid, componentLabel);
    events_->SetCurrentStream(currentComponent_);
    if (withInfo && currentComponent_ != 0) {
        OpenCapture(currentComponent_);
        infoCapture_ = true;
    }
    if (currentComponent_ != 0) {
        Check(Rx().StartPlayback(currentComponent_), "StartPlayback");
    }
}

void TViaDABWrapper::SetInfoCapture(bool flag) {
    if (!Connect() || flag == infoCapture_) {
        return;
    }
    if (infoCapture_) {
        infoCapture_ = false;
        CloseCapture(currentComponent_);
    } else if (currentComponent_ != 0) {
        OpenCapture(currentComponent_);
        infoCapture_ = true;
    }
}

StreamInfoRecord TViaDABWrapper::GetCurrentStreamInfo() {
    if (!Connect()) {
        return {};
    }
    return events_->GetStreamInfo(currentComponent_);
}

QString TViaDABWrapper::GetCurrentDynamicLabel() {
    // Nothing selected has no label; the component is not asked about component 0.
    if (!Connect() || currentComponent_ == 0) {
        return {};
    }
    QString label = events_->GetStreamInfo(currentComponent_).DynamicLabel;
    if (label.isEmpty()) {
        std::string text;
        Check(Rx().GetDynamicLabel(currentComponent_, &text), "GetDynamicLabel");
        label = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    return label;
}

QString TViaDABWrapper::GetStreamDynamicLabel(std::int32_t handle) {
    if (!Connect()) {
        return {};
    }
    if (handle == currentComponent_) {
        return GetCurrentDynamicLabel();
    }
    return events_->GetStreamInfo(handle).DynamicLabel;
}

void TViaDABWrapper::AttachRecorder(TRecorder* recorder) {
    if (!Connect()) {
        return;
    }
    const std::int32_t handle = FindComponent(recorder->SId(), recorder->ComponentLabel());
    recorder->SetStreamHandle(handle);
    OpenCapture(handle);
    events_->AddRecorder(recorder);
    recorders_.append(TVDWRecorderEntry{QString::number(handle), recorder});
}

void TViaDABWrapper::DetachRecorder(TRecorder* recorder) {
    if (!Connect()) {
        return;
    }
    qsizetype index = -1;
    for (qsizetype i = 0; i < recorders_.size(); ++i) {
        if (recorders_[i].Recorder == recorder) {
            index = i;
            break;
        }
    }
    if (index < 0) {
        return;
    }
    // The recorder leaves the sink even when the component fails to stop its capture: its owner
    // may destroy it as soon as this returns.
    try {
        CloseCapture(recorder->StreamHandle());
    } catch (...) {
        events_->RemoveRecorder(recorder);
        recorders_.removeAt(index);
        throw;
    }
    events_->RemoveRecorder(recorder);
    recorders_.removeAt(index);
}

void TViaDABWrapper::OpenCapture(std::int32_t handle) {
    if (!Connect()) {
        return;
    }
    for (qsizetype i = captures_.size() - 1; i >= 0; --i) {
        if (captures_[i].Component == handle) {
            ++captures_[i].RefCount;
            return;
        }
    }
    if (handle == 0) {
        return;
    }
    captures_.append(TVDWCap{handle, 1});
    const RxStatus status = Rx().StartCapture(handle);
    if (status != RxOk) {
        captures_.removeLast();  // not capturing: nobody holds it
        Check(status, "StartCapture");
    }
}

void TViaDABWrapper::CloseCapture(std::int32_t handle) {
    if (!Connect()) {
        return;
    }
    for (qsizetype i = captures_.size() - 1; i >= 0; --i) {
        if (captures_[i].Component == handle) {
            if (--captures_[i].RefCount <= 0) {
                // The entry goes first: a failed stop must not leave a holder-less entry behind.
                captures_.removeAt(i);
                Check(Rx().StopCapture(handle), "StopCapture");
            }
            return;
        }
    }
}

#include "eti/EtiReceiver.h"

#include <cmath>

#include "eti/EtiSource.h"
#include "eti/LivePlayer.h"
#include "receiver/DabCharset.h"

namespace {

constexpr double kNoSignalErrorRatio = 1.0;
constexpr double kWorstLevelRatio = 0.1;  // ERR level 3: signal level 0
constexpr int kWorstLevel = 3;
constexpr std::size_t kLevelFrames = 42;  // about a second of frames
constexpr auto kSilence = std::chrono::seconds(1);
constexpr int kFctModulo = 250;
constexpr std::int32_t kFirstHandle = 0x10001;
constexpr std::int32_t kLastHandle = 0xFFFFFF;
constexpr int kAscDabPlus = 63;
constexpr std::uint64_t kSettleFrames = 42;  // one second of ETI frames

// FNV-1a over the component's identity, folded into the handle range.
std::int32_t HandleFor(std::uint16_t eid, std::uint32_t sid, int key) {
    std::uint32_t h = 2166136261u;
    for (const std::uint32_t part : {std::uint32_t{eid}, sid, static_cast<std::uint32_t>(key)}) {
        for (int shift = 0; shift < 32; shift += 8) {
            h = (h ^ ((part >> shift) & 0xFF)) * 16777619u;
        }
    }
    return kFirstHandle + static_cast<std::int32_t>(h % (kLastHandle - kFirstHandle + 1));
}

}  // namespace

EtiReceiver::EtiReceiver(EtiConfigData config, Reporter reporter)
    : config_(std::move(config)), report_(std::move(reporter)) {}

EtiReceiver::~EtiReceiver() = default;

// What the FIC has told so far, in numbers: a change means it is still telling.
std::size_t EtiReceiver::FicShapeLocked() const {
    const FicEnsemble& e = fic_.Ensemble();
    std::size_t shape = e.subChannels.size() + (e.label.empty() ? 0 : 1);
    for (const FicService& s : e.services) {
        shape = shape * 31 + s.components.size() * 7 + (s.label.empty() ? 0 : 1);
        for (const FicComponent& c : s.components) {
            shape = shape * 31 + static_cast<std::size_t>(c.subChannelId + 2) +
                    (c.label.empty() ? 0 : 64);
        }
    }
    return shape;
}

bool EtiReceiver::ReadyLocked() const {
    // Complete() holds as soon as every service heard of is described; a service whose FIG 0/2
    // has not come round yet would be missing from the list, so the FIC must also have told
    // nothing new for a second.
    // A source that has ended tells nothing more.
    return fic_.Complete() && (ficFrames_ - ficChangedAt_ >= kSettleFrames || !receiving_);
}

void EtiReceiver::RefreshLocked() {
    if (!dirty_) {
        return;
    }
    dirty_ = false;
    services_.clear();
    const FicEnsemble& e = fic_.Ensemble();
    if (!e.eidKnown) {
        return;
    }
    std::set<std::int32_t> taken{e.eid};
    for (const FicService& s : e.services) {
        taken.insert(static_cast<std::int32_t>(s.sid));
    }
    for (const FicService& s : e.services) {
        Service service{s.sid, {}};
        for (const FicComponent& c : s.components) {
            const int key = c.tmid == 3 ? 0x10000 + c.packetId : c.subChannelId;
            std::int32_t handle = HandleFor(e.eid, s.sid, key);
            // Next free one on a clash: within this ensemble, or with another's component.
            for (;;) {
                const auto it = known_.find(handle);
                const bool other =
                    it != known_.end() &&
                    (it->second.eid != e.eid || it->second.sid != s.sid || it->second.key != key);
                if (taken.count(handle) == 0 && !other) {
                    break;
                }
                handle = handle == kLastHandle ? kFirstHandle : handle + 1;
            }
            taken.insert(handle);
            Known& k = known_[handle];
            k.eid = e.eid;
            k.sid = s.sid;
            k.key = key;
            k.component = c;
            k.label = c.label.empty() ? s.label : c.label;
            service.components.push_back(handle);
        }
        services_.push_back(std::move(service));
    }
}

const EtiReceiver::Service* EtiReceiver::ServiceLocked(std::int32_t sid) {
    RefreshLocked();
    if (!ReadyLocked()) {
        return nullptr;
    }
    for (const Service& s : services_) {
        if (s.sid == static_cast<std::uint32_t>(sid)) {
            return &s;
        }
    }
    return nullptr;
}

const EtiReceiver::Known* EtiReceiver::FindLocked(std::int32_t handle) {
    RefreshLocked();
    const auto it = known_.find(handle);
    return it == known_.end() ? nullptr : &it->second;
}

RxStatus EtiReceiver::Tune(double frequencyMHz, std::int32_t* ok) {
    if (ok == nullptr) {
        return RxFail;
    }
    if (!EtiConfig::InBand(frequencyMHz)) {
        *ok = 0;
        return RxOk;
    }
    *ok = 1;
    std::lock_guard lock(mutex_);
    const EtiSourceEntry* entry = EtiConfig::Find(config_, frequencyMHz);
    // The same frequency again changes nothing, unless its source has ended: it starts over.
    if (tunedFrequency_ != 0 && std::fabs(frequencyMHz - tunedFrequency_) < 0.0005 &&
        (receiving_ || entry == nullptr)) {
        return RxOk;
    }
    tunedFrequency_ = frequencyMHz;
    const std::uint64_t generation = ++generation_;
    fic_.Reset();
    dirty_ = true;
    ficFrames_ = 0;
    ficChangedAt_ = 0;
    ficShape_ = 0;
    services_.clear();
    levels_.clear();
    levelSum_ = 0;
    lastFct_ = -1;
    for (auto& [handle, active] : active_) {
        active->assembler.Reset();
    }
    RetirePlayerLocked();
    receiving_ = entry != nullptr;
    source_ = std::make_unique<EtiSource>(
        entry, frequencyMHz, config_.unpaced,
        [this, generation](const EtiFrameView& view) { OnFrame(generation, view); },
        [this, generation](const std::string& problem) { OnEnded(generation, problem); },
        std::move(source_));
    return RxOk;
}

RxStatus EtiReceiver::GetServiceListReady(std::int32_t* ready) {
    if (ready == nullptr) {
        return RxFail;
    }
    std::lock_guard lock(mutex_);
    *ready = ReadyLocked() ? 1 : 0;
    return RxOk;
}

RxStatus EtiReceiver::GetErrorRatio(double* value) {
    if (value == nullptr) {
        return RxFail;
    }
    std::lock_guard lock(mutex_);
    if (!receiving_ || levels_.empty() || Clock::now() - lastFrame_ > kSilence) {
        *value = kNoSignalErrorRatio;
    } else {
        *value = kWorstLevelRatio * levelSum_ / (kWorstLevel * static_cast<double>(levels_.size()));
    }
    return RxOk;
}

RxStatus EtiReceiver::GetEnsembleId(std::int32_t* eid) {
    if (eid == nullptr) {
        return RxFail;
    }
    std::lock_guard lock(mutex_);
    *eid = ReadyLocked() ? fic_.Ensemble().eid : 0;
    return RxOk;
}

RxStatus EtiReceiver::GetFirstService(std::int32_t* sid) {
    if (sid == nullptr) {
        return RxFail;
    }
    std::lock_guard lock(mutex_);
    RefreshLocked();
    *sid =
        ReadyLocked() && !services_.empty() ? static_cast<std::int32_t>(services_.front().sid) : 0;
    return RxOk;
}

RxStatus EtiReceiver::GetNextService(std::int32_t* sid) {
    if (sid == nullptr) {
        return RxFail;
    }
    std::lock_guard lock(mutex_);
    const Service* s = ServiceLocked(*sid);
    if (s == nullptr) {
        return RxFail;
    }
    const Service* next = s + 1;
    *sid = next == services_.data() + services_.size() ? 0 : static_cast<std::int32_t>(next->sid);
    return RxOk;
}

RxStatus EtiReceiver::GetPrimaryComponent(std::int32_t sid, std::int32_t* component) {
    if (component == nullptr) {
        return RxFail;
    }
    std::lock_guard lock(mutex_);
    const Service* s = ServiceLocked(sid);
    *component = s == nullptr || s->components.empty() ? 0 : s->components.front();
    return RxOk;
}

RxStatus EtiReceiver::GetNextComponent(std::int32_t sid, std::int32_t* component) {
    if (component == nullptr) {
        return RxFail;
    }
    std::lock_guard lock(mutex_);
    const Service* s = ServiceLocked(sid);
    if (s == nullptr) {
        *component = 0;
        return RxOk;
    }
    for (std::size_t i = 0; i < s->components.size(); ++i) {
        if (s->components[i] == *component) {
            *component = i + 1 < s->components.size() ? s->components[i + 1] : 0;
            return RxOk;
        }
    }
    return RxFail;
}

RxStatus EtiReceiver::GetLabel(std::int32_t id, std::string* label) {
    if (label == nullptr) {
        return RxFail;
    }
    if (id == 0) {
        label->clear();
        return RxOk;
    }
    std::lock_guard lock(mutex_);
    if (const Known* k = FindLocked(id)) {
        *label = DabCharset::PaddedLabel(k->label);
        return RxOk;
    }
    if (ReadyLocked() && id == fic_.Ensemble().eid) {
        *label = DabCharset::PaddedLabel(fic_.Ensemble().label);
        return RxOk;
    }
    if (ServiceLocked(id) != nullptr) {
        for (const FicService& s : fic_.Ensemble().services) {
            if (s.sid == static_cast<std::uint32_t>(id)) {
                *label = DabCharset::PaddedLabel(s.label);
                return RxOk;
            }
        }
    }
    return RxFail;
}

RxStatus EtiReceiver::GetAudioType(std::int32_t component, std::int32_t* value) {
    if (value == nullptr) {
        return RxFail;
    }
    if (component == 0) {
        *value = 0;
        return RxOk;
    }
    std::lock_guard lock(mutex_);
    const Known* k = FindLocked(component);
    if (k == nullptr) {
        return RxFail;
    }
    *value = !k->audio() ? 0 : k->dabPlus() ? 2 : 1;
    return RxOk;
}

RxStatus EtiReceiver::GetProgrammeType(std::int32_t sid, std::int32_t* code) {
    if (code == nullptr) {
        return RxFail;
    }
    std::lock_guard lock(mutex_);
    if (ServiceLocked(sid) == nullptr) {
        return RxFail;
    }
    for (const FicService& s : fic_.Ensemble().services) {
        if (s.sid == static_cast<std::uint32_t>(sid)) {
            *code = s.programmeType;
        }
    }
    return RxOk;
}

RxStatus EtiReceiver::GetDataType(std::int32_t component, std::int32_t* code) {
    if (code == nullptr) {
        return RxFail;
    }
    if (component == 0) {
        *code = 0;
        return RxOk;
    }
    std::lock_guard lock(mutex_);
    const Known* k = FindLocked(component);
    if (k == nullptr) {
        return RxFail;
    }
    *code = k->audio() ? 0 : k->component.type;
    return RxOk;
}

RxStatus EtiReceiver::GetDynamicLabel(std::int32_t component, std::string* text) {
    if (text == nullptr) {
        return RxFail;
    }
    text->clear();
    if (component == 0) {
        return RxOk;
    }
    std::lock_guard lock(mutex_);
    if (FindLocked(component) == nullptr) {
        return RxFail;
    }
    if (const auto it = active_.find(component); it != active_.end()) {
        *text = it->second->labels.Label();
    }
    return RxOk;
}

RxStatus EtiReceiver::StartCapture(std::int32_t component) {
    std::lock_guard lock(mutex_);
    const Known* k = FindLocked(component);
    if (k == nullptr) {
        return RxFail;
    }
    if (k->dabPlus()) {
        return RxNotImplemented;
    }
    auto& active = active_[component];
    if (!active) {
        active = std::make_unique<Active>();
    }
    active->captured = true;
    events_.Guarded([&] { delivering_.insert(component); });
    return RxOk;
}

RxStatus EtiReceiver::StopCapture(std::int32_t component) {
    std::lock_guard lock(mutex_);
    if (FindLocked(component) == nullptr) {
        return RxFail;
    }
    events_.Guarded([&] { delivering_.erase(component); });
    if (const auto it = active_.find(component); it != active_.end()) {
        it->second->captured = false;
        DropInactiveLocked(component);
    }
    return RxOk;
}

RxStatus EtiReceiver::StartPlayback(std::int32_t component) {
    std::lock_guard lock(mutex_);
    const Known* k = FindLocked(component);
    if (k == nullptr) {
        return RxFail;
    }
    if (k->dabPlus()) {
        return RxNotImplemented;
    }
    std::erase_if(retiredPlayers_, [](const auto& p) { return p->Done(); });
    if (playing_ == component) {
        return RxOk;
    }
    RetirePlayerLocked();
    if (!k->audio()) {
        return RxOk;
    }
    auto& active = active_[component];
    if (!active) {
        active = std::make_unique<Active>();
    }
    active->played = true;
    playing_ = component;
    player_ = std::make_unique<LivePlayer>();
    return RxOk;
}

RxStatus EtiReceiver::StopPlayback(std::int32_t component) {
    std::lock_guard lock(mutex_);
    if (FindLocked(component) == nullptr) {
        return RxFail;
    }
    if (playing_ == component) {
        RetirePlayerLocked();
    }
    return RxOk;
}

void EtiReceiver::RetirePlayerLocked() {
    if (player_) {
        player_->RequestStop();
        retiredPlayers_.push_back(std::move(player_));
    }
    if (playing_ != 0) {
        if (const auto it = active_.find(playing_); it != active_.end()) {
            it->second->played = false;
            DropInactiveLocked(playing_);
        }
        playing_ = 0;
    }
}

void EtiReceiver::DropInactiveLocked(std::int32_t handle) {
    const auto it = active_.find(handle);
    if (it != active_.end() && !it->second->captured && !it->second->played) {
        active_.erase(it);
    }
}

RxStatus EtiReceiver::Advise(IViadabRxEvents* sink, std::int32_t* cookie) {
    return events_.Advise(sink, cookie);
}

RxStatus EtiReceiver::Unadvise(std::int32_t cookie) {
    return events_.Unadvise(cookie);
}

void EtiReceiver::Release() {
    std::unique_ptr<EtiSource> source;
    std::unique_ptr<LivePlayer> player;
    std::vector<std::unique_ptr<LivePlayer>> retired;
    {
        std::lock_guard lock(mutex_);
        source = std::move(source_);
        player = std::move(player_);
        retired = std::move(retiredPlayers_);
        ++generation_;  // frames still on their way are dropped
        events_.Disconnect();
        events_.Guarded([&] { delivering_.clear(); });
    }
    source.reset();  // joins: waits for an OnData call in flight and ends a live command
    player.reset();
    retired.clear();
    delete this;
}

void EtiReceiver::OnEnded(std::uint64_t generation, const std::string& problem) {
    {
        std::lock_guard lock(mutex_);
        if (generation == generation_) {
            receiving_ = false;
        }
    }
    if (!problem.empty() && report_) {
        report_(problem);
    }
}

void EtiReceiver::OnFrame(std::uint64_t generation, const EtiFrameView& view) {
    std::vector<std::pair<std::int32_t, std::vector<std::uint8_t>>> out;
    {
        std::lock_guard lock(mutex_);
        if (generation != generation_) {
            return;
        }
        lastFrame_ = Clock::now();
        levels_.push_back(view.errorLevel);
        levelSum_ += view.errorLevel;
        if (levels_.size() > kLevelFrames) {
            levelSum_ -= levels_.front();
            levels_.pop_front();
        }
        if (view.fic != nullptr) {
            fic_.Feed(view.fic, view.ficLength);
            dirty_ = true;
            ++ficFrames_;
            if (const std::size_t shape = FicShapeLocked(); shape != ficShape_) {
                ficShape_ = shape;
                ficChangedAt_ = ficFrames_;
            }
        }
        // A gap in the frame count (skipped frames, a recording starting over) breaks frames
        // that span two ETI frames.
        if (lastFct_ >= 0 && view.frameCount != (lastFct_ + 1) % kFctModulo) {
            for (auto& [handle, active] : active_) {
                active->assembler.Reset();
            }
        }
        lastFct_ = view.frameCount;
        const FicEnsemble& ensemble = fic_.Ensemble();
        if (active_.empty() || !ensemble.eidKnown) {
            return;
        }
        for (auto& [handle, active] : active_) {
            const Known& k = known_.at(handle);
            if (k.eid != ensemble.eid || !k.audio() || k.component.type == kAscDabPlus) {
                continue;
            }
            for (const EtiStream& stream : view.streams) {
                if (stream.subChannelId != k.component.subChannelId) {
                    continue;
                }
                Active& a = *active;
                const std::int32_t h = handle;
                a.assembler.Push(
                    stream.data, stream.length, [&](const std::uint8_t* frame, std::size_t length) {
                        a.labels.Frame(frame, length);
                        if (a.captured) {
                            out.emplace_back(h, std::vector<std::uint8_t>(frame, frame + length));
                        }
                        if (a.played && player_) {
                            player_->Push(frame, length);
                        }
                    });
            }
        }
    }
    for (const auto& [handle, frame] : out) {
        Deliver(handle, frame);
    }
}

void EtiReceiver::Deliver(std::int32_t handle, const std::vector<std::uint8_t>& frame) {
    events_.Deliver(handle, frame.data(), static_cast<std::int32_t>(frame.size()),
                    [&] { return delivering_.count(handle) != 0; });
}

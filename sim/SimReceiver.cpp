#include "sim/SimReceiver.h"

#include "receiver/DabCharset.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "sim/AudioPlayer.h"
#include "sim/FrameLoop.h"
#include "sim/FramePacer.h"
#include "sim/PadEncoder.h"
#include "sim/WavReader.h"

namespace {

constexpr double kNoSignalErrorRatio = 1.0;

// The air's 8-bit label as the interface's UTF-8, padded to 16 characters.
std::string Padded(const std::string& label) {
    return DabCharset::PaddedLabel(DabCharset::Latin1ToUtf8(label));
}

}  // namespace

SimReceiver::SimReceiver(Air air, bool unpaced) : air_(std::move(air)), unpaced_(unpaced) {
    for (const AirEnsemble& e : air_.ensembles) {
        for (const AirService& s : e.services) {
            for (const AirComponent& c : s.components) {
                components_.emplace(c.handle, Located{&e, &s, &c});
            }
        }
    }
}

SimReceiver::~SimReceiver() = default;

bool SimReceiver::ReadyLocked(Clock::time_point now) const {
    return tuned_ != nullptr && now >= tuneTime_ + std::chrono::milliseconds(tuned_->settleMs);
}

const AirService* SimReceiver::ServiceLocked(std::int32_t sid) const {
    if (!ReadyLocked(Clock::now())) {
        return nullptr;
    }
    for (const AirService& s : tuned_->services) {
        if (s.sid == static_cast<std::uint32_t>(sid)) {
            return &s;
        }
    }
    return nullptr;
}

const SimReceiver::Located* SimReceiver::Find(std::int32_t handle) const {
    const auto it = components_.find(handle);
    return it == components_.end() ? nullptr : &it->second;
}

RxStatus SimReceiver::Tune(double frequencyMHz, std::int32_t* ok) {
    if (ok == nullptr) {
        return RxFail;
    }
    if (!AirFile::InBand(frequencyMHz)) {
        *ok = 0;
        return RxOk;
    }
    *ok = 1;
    std::lock_guard lock(mutex_);
    if (tunedFrequency_ != 0 && std::fabs(frequencyMHz - tunedFrequency_) < 0.0005) {
        return RxOk;
    }
    tunedFrequency_ = frequencyMHz;
    tuned_ = AirFile::FindEnsemble(air_, frequencyMHz);
    tuneTime_ = Clock::now();
    ++generation_;
    if (playback_) {
        RetireLocked(std::move(playback_));
    }
    ReapLocked();
    changed_.notify_all();
    return RxOk;
}

RxStatus SimReceiver::GetServiceListReady(std::int32_t* ready) {
    if (ready == nullptr) {
        return RxFail;
    }
    std::lock_guard lock(mutex_);
    *ready = ReadyLocked(Clock::now()) ? 1 : 0;
    return RxOk;
}

RxStatus SimReceiver::GetErrorRatio(double* value) {
    if (value == nullptr) {
        return RxFail;
    }
    std::lock_guard lock(mutex_);
    *value = ReadyLocked(Clock::now()) ? tuned_->errorRatio : kNoSignalErrorRatio;
    return RxOk;
}

RxStatus SimReceiver::GetEnsembleId(std::int32_t* eid) {
    if (eid == nullptr) {
        return RxFail;
    }
    std::lock_guard lock(mutex_);
    *eid = ReadyLocked(Clock::now()) ? tuned_->eid : 0;
    return RxOk;
}

RxStatus SimReceiver::GetFirstService(std::int32_t* sid) {
    if (sid == nullptr) {
        return RxFail;
    }
    std::lock_guard lock(mutex_);
    *sid = ReadyLocked(Clock::now()) && !tuned_->services.empty()
               ? static_cast<std::int32_t>(tuned_->services.front().sid)
               : 0;
    return RxOk;
}

RxStatus SimReceiver::GetNextService(std::int32_t* sid) {
    if (sid == nullptr) {
        return RxFail;
    }
    std::lock_guard lock(mutex_);
    const AirService* s = ServiceLocked(*sid);
    if (s == nullptr) {
        return RxFail;
    }
    const AirService* next = s + 1;
    *sid = next == tuned_->services.data() + tuned_->services.size()
               ? 0
               : static_cast<std::int32_t>(next->sid);
    return RxOk;
}

RxStatus SimReceiver::GetPrimaryComponent(std::int32_t sid, std::int32_t* component) {
    if (component == nullptr) {
        return RxFail;
    }
    std::lock_guard lock(mutex_);
    const AirService* s = ServiceLocked(sid);
    // A service that is not on the tuned ensemble has no component: 0, as the contract says.
    *component = s == nullptr ? 0 : s->components.front().handle;
    return RxOk;
}

RxStatus SimReceiver::GetNextComponent(std::int32_t sid, std::int32_t* component) {
    if (component == nullptr) {
        return RxFail;
    }
    std::lock_guard lock(mutex_);
    const AirService* s = ServiceLocked(sid);
    if (s == nullptr) {
        *component = 0;
        return RxOk;
    }
    for (std::size_t i = 0; i < s->components.size(); ++i) {
        if (s->components[i].handle == *component) {
            *component = i + 1 < s->components.size() ? s->components[i + 1].handle : 0;
            return RxOk;
        }
    }
    return RxFail;
}

RxStatus SimReceiver::GetLabel(std::int32_t id, std::string* label) {
    if (label == nullptr) {
        return RxFail;
    }
    if (id == 0) {
        label->clear();
        return RxOk;
    }
    if (const Located* at = Find(id)) {
        *label = Padded(at->component->label);
        return RxOk;
    }
    std::lock_guard lock(mutex_);
    if (ReadyLocked(Clock::now()) && static_cast<std::uint32_t>(id) == tuned_->eid) {
        *label = Padded(tuned_->label);
        return RxOk;
    }
    if (const AirService* s = ServiceLocked(id)) {
        *label = Padded(s->label);
        return RxOk;
    }
    return RxFail;
}

RxStatus SimReceiver::GetAudioType(std::int32_t component, std::int32_t* value) {
    if (value == nullptr) {
        return RxFail;
    }
    if (component == 0) {
        *value = 0;
        return RxOk;
    }
    const Located* at = Find(component);
    if (at == nullptr) {
        return RxFail;
    }
    *value = at->component->audio ? 1 : 0;
    return RxOk;
}

RxStatus SimReceiver::GetProgrammeType(std::int32_t sid, std::int32_t* code) {
    if (code == nullptr) {
        return RxFail;
    }
    std::lock_guard lock(mutex_);
    const AirService* s = ServiceLocked(sid);
    if (s == nullptr) {
        return RxFail;
    }
    *code = s->programmeType;
    return RxOk;
}

RxStatus SimReceiver::GetDataType(std::int32_t component, std::int32_t* code) {
    if (code == nullptr) {
        return RxFail;
    }
    if (component == 0) {
        *code = 0;
        return RxOk;
    }
    const Located* at = Find(component);
    if (at == nullptr) {
        return RxFail;
    }
    *code = at->component->audio ? 0 : at->component->dataType;
    return RxOk;
}

RxStatus SimReceiver::GetDynamicLabel(std::int32_t component, std::string* text) {
    if (text == nullptr) {
        return RxFail;
    }
    text->clear();
    if (component == 0) {
        return RxOk;
    }
    const Located* at = Find(component);
    if (at == nullptr) {
        return RxFail;
    }
    std::lock_guard lock(mutex_);
    const Clock::time_point now = Clock::now();
    if (tuned_ != at->ensemble || !ReadyLocked(now)) {
        return RxOk;
    }
    const Clock::time_point since = tuneTime_ + std::chrono::milliseconds(tuned_->settleMs);
    const int entry =
        PadEncoder::LabelAt(*at->component, std::chrono::duration<double>(now - since).count());
    if (entry >= 0 && !at->component->labels[entry].remove) {
        *text = DabCharset::Latin1ToUtf8(at->component->labels[entry].text);
    }
    return RxOk;
}

RxStatus SimReceiver::StartCapture(std::int32_t component) {
    const Located* at = Find(component);
    if (at == nullptr) {
        return RxFail;
    }
    std::lock_guard lock(mutex_);
    ReapLocked();
    if (captures_.count(component) != 0) {
        return RxOk;
    }
    auto worker = std::make_unique<Worker>();
    worker->handle = component;
    Worker& w = *worker;
    w.thread = std::jthread([this, &w, at](std::stop_token stop) {
        CaptureLoop(stop, w, *at);
        w.done = true;
    });
    captures_.emplace(component, std::move(worker));
    return RxOk;
}

RxStatus SimReceiver::StopCapture(std::int32_t component) {
    if (Find(component) == nullptr) {
        return RxFail;
    }
    std::lock_guard lock(mutex_);
    const auto it = captures_.find(component);
    if (it != captures_.end()) {
        events_.Guarded([&] { it->second->active = false; });
        RetireLocked(std::move(it->second));
        captures_.erase(it);
    }
    return RxOk;
}

RxStatus SimReceiver::StartPlayback(std::int32_t component) {
    const Located* at = Find(component);
    if (at == nullptr) {
        return RxFail;
    }
    std::lock_guard lock(mutex_);
    ReapLocked();
    if (playback_) {
        if (playback_->handle == component) {
            return RxOk;
        }
        RetireLocked(std::move(playback_));
    }
    if (!at->component->audio) {
        return RxOk;
    }
    playback_ = std::make_unique<Worker>();
    playback_->handle = component;
    Worker& w = *playback_;
    w.thread = std::jthread([this, &w, at](std::stop_token stop) {
        PlaybackLoop(stop, *at);
        w.done = true;
    });
    return RxOk;
}

RxStatus SimReceiver::StopPlayback(std::int32_t component) {
    if (Find(component) == nullptr) {
        return RxFail;
    }
    std::lock_guard lock(mutex_);
    if (playback_ && playback_->handle == component) {
        RetireLocked(std::move(playback_));
    }
    return RxOk;
}

RxStatus SimReceiver::Advise(IViadabRxEvents* sink, std::int32_t* cookie) {
    return events_.Advise(sink, cookie);
}

RxStatus SimReceiver::Unadvise(std::int32_t cookie) {
    return events_.Unadvise(cookie);
}

void SimReceiver::Release() {
    std::vector<std::unique_ptr<Worker>> workers;
    {
        std::lock_guard lock(mutex_);
        for (auto& [handle, w] : captures_) {
            workers.push_back(std::move(w));
        }
        captures_.clear();
        if (playback_) {
            workers.push_back(std::move(playback_));
        }
        for (auto& w : retired_) {
            workers.push_back(std::move(w));
        }
        retired_.clear();
        events_.Disconnect();
        events_.Guarded([&] {
            for (auto& w : workers) {
                w->active = false;
            }
        });
        for (auto& w : workers) {
            w->thread.request_stop();
        }
        changed_.notify_all();
    }
    workers.clear();  // joins: waits for any OnData in flight
    delete this;
}

void SimReceiver::RetireLocked(std::unique_ptr<Worker> w) {
    w->thread.request_stop();
    changed_.notify_all();
    retired_.push_back(std::move(w));
}

void SimReceiver::ReapLocked() {
    // Only finished threads: joining them cannot wait on anything.
    std::erase_if(retired_, [](const std::unique_ptr<Worker>& w) { return w->done.load(); });
}

std::shared_ptr<const FrameLoop> SimReceiver::Loop(const AirComponent& c, std::stop_token stop) {
    std::shared_ptr<LoopSlot> slot;
    {
        std::lock_guard lock(loopsMutex_);
        auto& s = loops_[c.handle];
        if (!s) {
            s = std::make_shared<LoopSlot>();
        }
        slot = s;
    }
    std::lock_guard encoding(slot->mutex);
    if (!slot->done) {
        try {
            slot->loop = FrameLoop::Encode(c, stop);
        } catch (const WavReader::Stopped&) {
            throw;  // not done: the next thread to ask encodes it
        } catch (const std::exception& e) {
            std::fprintf(stderr, "Simulated receiver: no audio for \"%s\": %s\n", c.label.c_str(),
                         e.what());
        }
        slot->done = true;
    }
    return slot->loop;
}

bool SimReceiver::WaitOnAir(const Located& where, std::stop_token stop, OnAir& on) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        const std::uint64_t generation = generation_;
        if (tuned_ == where.ensemble) {
            const Clock::time_point since = tuneTime_ + std::chrono::milliseconds(tuned_->settleMs);
            if (Clock::now() >= since) {
                on.generation = generation;
                on.since = since;
                return true;
            }
            changed_.wait_until(lock, stop, since, [&] { return generation_ != generation; });
        } else {
            changed_.wait(lock, stop, [&] { return generation_ != generation; });
        }
    }
    return false;
}

void SimReceiver::SleepUntil(Clock::time_point due, std::stop_token stop) {
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, stop, due, [] { return false; });
}

void SimReceiver::Deliver(Worker& w, const std::uint8_t* frame, int length) {
    events_.Deliver(w.handle, frame, length, [&] { return w.active.load(); });
}

void SimReceiver::CaptureLoop(std::stop_token stop, Worker& w, const Located& where) {
    std::shared_ptr<const FrameLoop> loop;
    try {
        loop = where.component->audio ? Loop(*where.component, stop) : nullptr;
    } catch (const WavReader::Stopped&) {
        return;
    }
    if (!loop) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, stop, [] { return false; });
        return;
    }
    const int length = loop->FrameLength();
    const double frameSeconds = loop->FrameSeconds();
    const auto frameTime =
        std::chrono::round<Clock::duration>(std::chrono::duration<double>(frameSeconds));
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(length));
    OnAir on;
    while (WaitOnAir(where, stop, on)) {
        // Paced streams join the broadcast where it is now and keep to its schedule.
        FramePacer pacer(on.since, frameTime);
        pacer.Join(Clock::now());
        std::int64_t index = unpaced_ ? 0 : pacer.Index();
        PadEncoder pad(*where.component, frameSeconds);
        while (!stop.stop_requested() && generation_ == on.generation) {
            std::memcpy(frame.data(), loop->Frame(static_cast<std::size_t>(index)), frame.size());
            pad.Fill(frame.data(), length, loop->ScfCrcLength(), index);
            Deliver(w, frame.data(), length);
            if (unpaced_) {
                ++index;
                std::this_thread::yield();
                continue;
            }
            const Clock::time_point now = Clock::now();
            const Clock::time_point due = pacer.Advance(now);
            index = pacer.Index();
            if (due > now) {
                SleepUntil(due, stop);
            }
        }
    }
}

void SimReceiver::PlaybackLoop(std::stop_token stop, const Located& where) {
    std::shared_ptr<const FrameLoop> loop;
    try {
        loop = Loop(*where.component, stop);
    } catch (const WavReader::Stopped&) {
        return;
    }
    OnAir on;
    if (!loop || !WaitOnAir(where, stop, on)) {
        return;
    }
    const auto first = static_cast<std::size_t>(
        std::chrono::duration<double>(Clock::now() - on.since).count() / loop->FrameSeconds());
    AudioPlayer::Play(*loop, first, stop);
}

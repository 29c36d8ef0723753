#include "shell/TDSLDrawer.h"

#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdint>

#include "shell/DSLLinks.h"

TDSLDrawer::TDSLDrawer(TDSLSurface* surface, std::function<QString()> labelSource, QObject* parent)
    : QObject(parent), surface_(surface), labelSource_(std::move(labelSource)) {
    Reset();
    thread_ = std::jthread([this](std::stop_token stop) { Run(std::move(stop)); });
}

TDSLDrawer::~TDSLDrawer() {
    Terminate();
    Reset();
}

void TDSLDrawer::AssertMainThread() const {
    Q_ASSERT(QThread::currentThread() == thread());
}

void TDSLDrawer::SetScrollSpeed(int value) {
    scrollSpeed_ = std::clamp(value, 4, 256);
}

void TDSLDrawer::SetScrollJump(int value) {
    scrollJump_ = std::clamp(value, 1, 16);
}

void TDSLDrawer::Reset() {
    AssertMainThread();
    stripWidth_ = 0;
    viewOffset_ = 0;
    textStart_ = 0;
    textWidth_ = 0;
    labelText_.clear();
    idle_ = false;
    hotspots_.clear();
    if (surface_) {
        surface_->CompactStrip(0, 0);
        // One gap more than covers the area, so that the next text enters from beyond the right
        // edge.
        ExtendStripBy(GapsToCover(surface_->AreaWidth()) + 1);
        Paint();
    }
}

void TDSLDrawer::Paint() {
    if (surface_) {
        surface_->Paint(viewOffset_);
    }
}

void TDSLDrawer::Step(int jump) {
    AssertMainThread();
    if (!surface_) {
        return;
    }
    const int v = surface_->AreaWidth();
    if (idle_) {
        const QString text = labelSource_();
        if (text != labelText_) {
            AppendText(text);
            ExtendStrip();
        }
    }
    if (v >= textWidth_ && viewOffset_ + jump >= textStart_) {
        viewOffset_ = textStart_;  // a fitting text stops exactly at the left edge
    } else {
        viewOffset_ += jump;
    }
    while (stripWidth_ - viewOffset_ < v) {
        if (v < textWidth_) {
            // A long text comes round again, or its successor takes its place.
            AppendText(labelSource_());
            ExtendStrip();
        } else {
            // Blank run-in: every gap it takes at once, so the strip is rebuilt only once.
            ExtendStripBy(GapsToCover(v));
        }
    }
    idle_ = v >= textWidth_ && textStart_ == viewOffset_;
    Paint();
}

void TDSLDrawer::AppendText(const QString& text) {
    AssertMainThread();
    if (!surface_) {
        return;
    }
    textStart_ = stripWidth_ - viewOffset_;
    textWidth_ = surface_->TextPixelWidth(text);
    labelText_ = text;
    for (qsizetype i = hotspots_.size() - 1; i >= 0; --i) {
        hotspots_[i].Position -= viewOffset_;
        if (hotspots_[i].Position < 0) {
            hotspots_.removeAt(i);
        }
    }
    stripWidth_ = textStart_ + textWidth_;
    surface_->CompactStrip(viewOffset_, stripWidth_);
    surface_->DrawText(textStart_, text, false);
    viewOffset_ = 0;
    MarkLinks(textStart_, text);
}

void TDSLDrawer::ExtendStrip() {
    ExtendStripBy(1);
}

int TDSLDrawer::GapsToCover(int v) const {
    const int missing = v - (stripWidth_ - viewOffset_);
    return missing > 0 ? static_cast<int>((std::int64_t{missing} + kGap - 1) / kGap) : 0;
}

void TDSLDrawer::ExtendStripBy(int gaps) {
    if (gaps <= 0) {
        return;
    }
    stripWidth_ += gaps * kGap;
    if (surface_) {
        surface_->CompactStrip(0, stripWidth_);
    }
}

void TDSLDrawer::MarkLinks(int x0, const QString& text) {
    auto [start, length] = FindLink(text, 1);
    while (start != 0) {
        const int position = x0 + surface_->TextPixelWidth(text.left(start - 1));
        const QString word = text.mid(start - 1, length);
        surface_->DrawText(position, word, true);
        hotspots_.append({position, surface_->TextPixelWidth(word), word});
        std::tie(start, length) = FindLink(text, start + length);
    }
}

QString TDSLDrawer::HotspotAt(int x) const {
    const int b = x + viewOffset_;
    for (const TDLSHotspot& hotspot : hotspots_) {
        if (hotspot.Position <= b && b <= hotspot.Position + hotspot.PixelWidth) {
            return hotspot.LinkText;
        }
    }
    return {};
}

int TDSLDrawer::PauseAfterStep() const {
    if (idle_) {
        return kIdlePauseMs;
    }
    const int jump = scrollJump_.load();
    return jump * 1000 / scrollSpeed_.load();
}

void TDSLDrawer::Suspend() {
    std::lock_guard lock(mutex_);
    suspended_ = true;
}

void TDSLDrawer::Resume() {
    {
        std::lock_guard lock(mutex_);
        suspended_ = false;
    }
    wake_.notify_all();
}

bool TDSLDrawer::IsSuspended() const {
    std::lock_guard lock(mutex_);
    return suspended_;
}

void TDSLDrawer::Terminate() {
    AssertMainThread();
    if (thread_.joinable()) {
        thread_.request_stop();
        wake_.notify_all();
        thread_.join();
    }
}

std::uint64_t TDSLDrawer::StepsDone() const {
    std::lock_guard lock(mutex_);
    return completed_;
}

void TDSLDrawer::Run(std::stop_token stop) {
    while (!stop.stop_requested()) {
        {
            std::unique_lock lock(mutex_);
            if (!wake_.wait(lock, stop, [this] { return !suspended_; })) {
                return;
            }
        }
        if (!StepOnMainThread(stop)) {
            return;
        }
        std::unique_lock lock(mutex_);
        const auto pause = std::chrono::milliseconds(pauseMs_);
        // Woken early only by a stop request.
        wake_.wait_for(lock, stop, pause, [] { return false; });
    }
}

bool TDSLDrawer::StepOnMainThread(const std::stop_token& stop) {
    std::uint64_t ticket = 0;
    {
        std::lock_guard lock(mutex_);
        ticket = ++requested_;
    }
    // Queued to this object: a step still pending when the drawer is destroyed is dropped with it
    // (the destructor joins this thread first, on the main thread, so no step can run meanwhile).
    stepPoster_.Post([this, ticket] {
        Step(scrollJump_.load());
        const int pause = PauseAfterStep();
        {
            std::lock_guard lock(mutex_);
            completed_ = ticket;
            pauseMs_ = pause;
        }
        wake_.notify_all();
    });
    std::unique_lock lock(mutex_);
    return wake_.wait(lock, stop, [this, ticket] { return completed_ >= ticket; });
}

#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/TaskPoster.h"

// A link in the label strip: x of its first column in the strip, its width in pixels and its
// characters as they stand in the label.
struct TDLSHotspot {
    int Position = 0;
    int PixelWidth = 0;
    QString LinkText;
};

// What the label drawer draws with: an off-screen strip as high as the bar's label area, and the
// label area itself. Implemented by the window over a picture; tests use a fixed-width metric.
// Main thread.
class TDSLSurface {
public:
    virtual ~TDSLSurface() = default;
    // Width of the label area in pixels (V).
    virtual int AreaWidth() const = 0;
    virtual int TextPixelWidth(const QString& text) const = 0;
    // Moves the strip's columns from `from` to its end to column 0 and gives it `width` columns;
    // columns beyond the moved ones are blank. Also used with from 0 to grow or empty the strip.
    virtual void CompactStrip(int from, int width) = 0;
    // Draws `text` with its left edge at column x, in blue for a link.
    virtual void DrawText(int x, const QString& text, bool link) = 0;
    // Shows the strip columns from `viewOffset` on in the label area.
    virtual void Paint(int viewOffset) = 0;
};

// The scrolling dynamic label. The strip model (Step, AppendText, ExtendStrip, Reset, hotspots)
// runs on the main thread. The drawer's own thread only sets the pace: it hands each Step to the
// main thread, waits until it is done, then sleeps. Constructed, used and destroyed on the main
// thread, which must run an event loop while the thread is resumed.
class TDSLDrawer : public QObject {
    Q_OBJECT
public:
    static constexpr int kGap = 48;            // blank columns between repetitions
    static constexpr int kIdlePauseMs = 2500;  // poll interval while the text stands still

    // `surface` (not owned, may be null: then nothing is drawn) must outlive the drawer.
    // `labelSource` gives the current dynamic label. The thread starts suspended.
    TDSLDrawer(TDSLSurface* surface, std::function<QString()> labelSource,
               QObject* parent = nullptr);
    // Terminates and joins the thread, then resets.
    ~TDSLDrawer() override;

    // Steps per second, kept within 4..256.
    void SetScrollSpeed(int value);
    int ScrollSpeed() const { return scrollSpeed_.load(); }
    // Pixels per step, kept within 1..16.
    void SetScrollJump(int value);
    int ScrollJump() const { return scrollJump_.load(); }

    void Reset();
    void Paint();
    void Step(int jump);
    void AppendText(const QString& text);
    void ExtendStrip();
    // The link under x of the label area; empty when none.
    QString HotspotAt(int x) const;

    // Pause, in milliseconds, the thread takes after the step just done.
    int PauseAfterStep() const;

    // Thread control (main thread). Suspend takes effect before the next step.
    void Suspend();
    void Resume();
    void Terminate();
    bool IsSuspended() const;

    int ViewOffset() const { return viewOffset_; }
    int TextStart() const { return textStart_; }
    int TextWidth() const { return textWidth_; }
    int StripWidth() const { return stripWidth_; }
    const QString& LabelText() const { return labelText_; }
    bool Idle() const { return idle_; }
    const QList<TDLSHotspot>& Hotspots() const { return hotspots_; }
    // Steps run by the thread so far.
    std::uint64_t StepsDone() const;

private:
    void AssertMainThread() const;
    void MarkLinks(int x0, const QString& text);
    // How many gaps the strip still lacks to reach `v` columns past the view.
    int GapsToCover(int v) const;
    // ExtendStrip `gaps` times over, in one rebuild of the strip.
    void ExtendStripBy(int gaps);
    void Run(std::stop_token stop);
    bool StepOnMainThread(const std::stop_token& stop);

    TDSLSurface* surface_;
    std::function<QString()> labelSource_;

    int stripWidth_ = 0;
    int viewOffset_ = 0;
    int textStart_ = 0;
    int textWidth_ = 0;
    QString labelText_;
    bool idle_ = false;
    QList<TDLSHotspot> hotspots_;

    // Written by the main thread, read by the pacing thread for its sleep.
    std::atomic<int> scrollSpeed_{30};
    std::atomic<int> scrollJump_{1};

    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    bool suspended_ = true;        // guarded by mutex_
    std::uint64_t requested_ = 0;  // guarded by mutex_: steps handed to the main thread
    std::uint64_t completed_ = 0;  // guarded by mutex_: steps the main thread has run
    int pauseMs_ = 0;              // guarded by mutex_: the pause after the latest step
    // Steps for the main thread; a step still queued when the drawer goes is dropped with it.
    TaskPoster stepPoster_{this};
    std::jthread thread_;
};

#pragma once

#include <QObject>
#include <functional>

// Runs tasks on the thread this object lives on, through its event queue, for callers on any
// thread. Every task is ordered after everything its poster did before posting, in a way race
// detectors see too: Qt's own queue locks are invisible to ThreadSanitizer unless Qt itself is
// instrumented, which would make every hand-off look like a data race.
class TaskPoster : public QObject {
public:
    explicit TaskPoster(QObject* parent = nullptr);

    // Any thread. Queues `task`; it runs later on this object's thread. A task still queued when
    // the poster is destroyed never runs: `dropped` (if given) runs instead, on the destroying
    // thread.
    void Post(std::function<void()> task, std::function<void()> dropped = {});

    // Any thread but this object's, whose event loop must be running (or whose owner must
    // deliver posted events). Runs `task` there and waits for it; an exception of the task is
    // raised again here. False when the poster was destroyed before the task could run.
    bool RunAndWait(const std::function<void()>& task);

    // This object's thread: runs the queued tasks now (for an owner that waits for other threads
    // which may be waiting on it).
    void RunPending();

protected:
    void customEvent(QEvent* event) override;
};

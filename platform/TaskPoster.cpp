#include "platform/TaskPoster.h"

#include <QCoreApplication>
#include <QEvent>
#include <condition_variable>
#include <exception>
#include <mutex>

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#define TUNORA_TSAN_ACQUIRE(address) __tsan_acquire(address)
#define TUNORA_TSAN_RELEASE(address) __tsan_release(address)
#else
#define TUNORA_TSAN_ACQUIRE(address) static_cast<void>(address)
#define TUNORA_TSAN_RELEASE(address) static_cast<void>(address)
#endif

namespace {

const QEvent::Type kTaskEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

// Owned by Qt's queue from posting on; destroyed on the receiver's thread after it ran, or with
// the receiver when it never ran.
class TaskEvent : public QEvent {
public:
    TaskEvent(std::function<void()> task, std::function<void()> dropped)
        : QEvent(kTaskEventType), task_(std::move(task)), dropped_(std::move(dropped)) {}

    ~TaskEvent() override {
        TUNORA_TSAN_ACQUIRE(this);
        if (!ran_ && dropped_) {
            dropped_();
        }
    }

    void Run() {
        ran_ = true;
        task_();
    }

private:
    std::function<void()> task_;
    std::function<void()> dropped_;
    bool ran_ = false;
};

}  // namespace

TaskPoster::TaskPoster(QObject* parent) : QObject(parent) {}

void TaskPoster::Post(std::function<void()> task, std::function<void()> dropped) {
    auto* event = new TaskEvent(std::move(task), std::move(dropped));
    // Pairs with the acquire in Run or the destructor, on the receiving thread.
    TUNORA_TSAN_RELEASE(event);
    QCoreApplication::postEvent(this, event);
}

void TaskPoster::RunPending() {
    QCoreApplication::sendPostedEvents(this, kTaskEventType);
}

bool TaskPoster::RunAndWait(const std::function<void()>& task) {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool ran = false;
    std::exception_ptr error;
    // Both endings notify while holding the lock: the waiter's stack frame (and with it the
    // condition variable) may vanish the moment the lock is released.
    auto finish = [&](bool hasRun) {
        std::lock_guard lock(mutex);
        done = true;
        ran = hasRun;
        finished.notify_one();
    };
    Post(
        [&] {
            try {
                task();
            } catch (...) {
                error = std::current_exception();
            }
            finish(true);
        },
        [&] { finish(false); });
    std::unique_lock lock(mutex);
    finished.wait(lock, [&] { return done; });
    if (error) {
        std::rethrow_exception(error);
    }
    return ran;
}

void TaskPoster::customEvent(QEvent* event) {
    // Before the first look at the event: the poster built it on its own thread.
    TUNORA_TSAN_ACQUIRE(event);
    if (event->type() == kTaskEventType) {
        static_cast<TaskEvent*>(event)->Run();
    }
}

#pragma once

#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <functional>

// The system's power messages through systemd-logind: a "block" inhibitor for sleep held while
// the bar would deny a suspend query, and PrepareForSleep turned into suspend (true) and resume
// (false). Without a system bus or logind nothing happens. Main thread.
class TLogindPower : public QObject {
    Q_OBJECT
public:
    explicit TLogindPower(std::function<void(bool suspending)> onSleep, QObject* parent = nullptr);

    bool Available() const { return available_; }
    // Takes or releases the inhibitor; repeated calls with the same value do nothing.
    void SetBlocking(bool on);
    bool Blocking() const { return inhibitor_.isValid(); }

private Q_SLOTS:
    // QtDBus connects signals by slot signature, so this one is a named slot.
    void OnPrepareForSleep(bool start);

private:
    std::function<void(bool)> onSleep_;
    bool available_ = false;
    bool wanted_ = false;
    QDBusUnixFileDescriptor inhibitor_;
};

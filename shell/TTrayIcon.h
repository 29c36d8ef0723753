#pragma once

#include <QIcon>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class QSystemTrayIcon;

// The notification-area icon: its picture and tip (kept even where the desktop has no
// notification area), its clicks turned into the mouse messages the bar handles, and the timer
// that tells a single click from a double-click. Main thread only.
class TTrayIcon {
public:
    // The mouse messages of the icon's callback.
    static constexpr int kLeftButtonUp = 514;
    static constexpr int kLeftDoubleClick = 515;
    static constexpr int kRightButtonUp = 517;
    // The longest tip the notification area shows, in characters.
    static constexpr qsizetype kTipLength = 63;

    // `onMessage` receives the mouse messages; `onClick` runs when the click timer fires.
    TTrayIcon(const QIcon& icon, const QString& tip,
              std::function<void(int mouseMessage)> onMessage, std::function<void()> onClick);
    ~TTrayIcon();

    // Whether the desktop has a notification area: QSystemTrayIcon's answer unless a check was
    // installed. Without one, hiding the bar would leave nothing to bring it back with.
    static bool IsAvailable();
    // Replaces the answer of IsAvailable (tests force it); an empty check restores Qt's.
    static void SetAvailabilityCheck(std::function<bool()> check);

    // Adds the icon to the notification area, when the desktop has one.
    void Add();
    // Takes the icon out of the notification area.
    void Remove();
    void SetIcon(const QIcon& icon);
    // Keeps the first kTipLength characters of `tip`.
    void SetTip(const QString& tip);
    // Shows the current picture and tip; an icon the notification area dropped is added again.
    void Refresh();

    // A left button-up: waits a double-click time for a second click, or cancels the wait.
    void ToggleClickTimer();
    // A double-click: the pending single click is dropped.
    void CancelClick();

    const QIcon& Icon() const { return icon_; }
    const QString& Tip() const { return tip_; }
    QTimer& ClickTimer() { return clickTimer_; }

private:
    QIcon icon_;
    QString tip_;
    QTimer clickTimer_;
    std::function<void(int)> onMessage_;
    // Null until added, and where the desktop has no notification area.
    std::unique_ptr<QSystemTrayIcon> widget_;
};

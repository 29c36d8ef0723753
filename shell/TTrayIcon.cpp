#include "shell/TTrayIcon.h"

#include <QApplication>
#include <QSystemTrayIcon>

namespace {

// The click timer's interval until its first use gives it the double-click time (ms).
constexpr int kInitialClickInterval = 600;

std::function<bool()>& AvailabilityCheck() {
    static std::function<bool()> check;
    return check;
}

}  // namespace

bool TTrayIcon::IsAvailable() {
    const std::function<bool()>& check = AvailabilityCheck();
    return check ? check() : QSystemTrayIcon::isSystemTrayAvailable();
}

void TTrayIcon::SetAvailabilityCheck(std::function<bool()> check) {
    AvailabilityCheck() = std::move(check);
}

TTrayIcon::TTrayIcon(const QIcon& icon, const QString& tip,
                     std::function<void(int mouseMessage)> onMessage, std::function<void()> onClick)
    : icon_(icon), tip_(tip.left(kTipLength)), onMessage_(std::move(onMessage)) {
    clickTimer_.setInterval(kInitialClickInterval);
    QObject::connect(&clickTimer_, &QTimer::timeout, &clickTimer_, std::move(onClick));
}

TTrayIcon::~TTrayIcon() = default;

void TTrayIcon::Add() {
    if (widget_ || !IsAvailable()) {
        return;
    }
    widget_ = std::make_unique<QSystemTrayIcon>(icon_);
    widget_->setToolTip(tip_);
    QObject::connect(widget_.get(), &QSystemTrayIcon::activated, widget_.get(),
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         switch (reason) {
                             case QSystemTrayIcon::Trigger:
                                 onMessage_(kLeftButtonUp);
                                 break;
                             case QSystemTrayIcon::DoubleClick:
                                 onMessage_(kLeftDoubleClick);
                                 break;
                             case QSystemTrayIcon::Context:
                                 onMessage_(kRightButtonUp);
                                 break;
                             default:
                                 break;
                         }
                     });
    widget_->show();
}

void TTrayIcon::SetIcon(const QIcon& icon) {
    icon_ = icon;
}

void TTrayIcon::SetTip(const QString& tip) {
    tip_ = tip.left(kTipLength);
}

void TTrayIcon::Refresh() {
    if (!widget_) {
        return;
    }
    widget_->setIcon(icon_);
    widget_->setToolTip(tip_);
    if (!widget_->isVisible()) {
        // The icon went away (the panel restarted): add it again.
        widget_->hide();
        widget_->show();
    }
}

void TTrayIcon::Remove() {
    if (widget_) {
        widget_->hide();
    }
}

void TTrayIcon::ToggleClickTimer() {
    clickTimer_.setInterval(QApplication::doubleClickInterval());
    if (clickTimer_.isActive()) {
        clickTimer_.stop();
    } else {
        clickTimer_.start();
    }
}

void TTrayIcon::CancelClick() {
    // Qt reports no second button-up for a double-click, so the pending single click is
    // cancelled here.
    clickTimer_.stop();
}

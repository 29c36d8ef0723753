#include "shell/TBarAnimator.h"

#include <QApplication>
#include <QThread>
#include <QWidget>

#include "shell/TBarLayout.h"

namespace {

// Pause after each frame (ms).
constexpr int kFramePause = 10;

// The desktop's own window-animation setting; a session without one has none.
bool Animated() {
    return QApplication::isEffectEnabled(Qt::UI_General);
}

}  // namespace

TBarAnimator::TBarAnimator(QWidget* window, std::function<void(bool)> showGenre)
    : window_(window), showGenre_(std::move(showGenre)) {}

void TBarAnimator::Frame(int width) {
    window_->resize(width, window_->height());
    window_->repaint();
    QThread::msleep(kFramePause);
}

void TBarAnimator::Expand() {
    if (expanded_) {
        return;
    }
    if (Animated()) {
        const int target = window_->width();
        const auto widths = TBarLayout::AnimationWidths(target);
        window_->resize(widths.front(), window_->height());
        showGenre_(false);
        window_->show();
        for (const int width : widths) {
            Frame(width);
        }
        window_->resize(target, window_->height());
        expanded_ = true;
        showGenre_(true);
        window_->update();
    } else {
        expanded_ = true;
        window_->show();
    }
}

void TBarAnimator::Collapse() {
    if (!expanded_) {
        return;
    }
    if (Animated() && window_->isVisible()) {
        const int target = window_->width();
        const auto widths = TBarLayout::AnimationWidths(target);
        showGenre_(false);
        for (auto width = widths.rbegin(); width != widths.rend(); ++width) {
            Frame(*width);
        }
        window_->hide();
        window_->resize(target, window_->height());
        expanded_ = false;
        showGenre_(true);
    } else {
        expanded_ = false;
        window_->hide();
    }
}

#include "shell/TBarFrame.h"

#include <QPixmap>
#include <QWidget>
#include <QWindow>
#include <optional>

#include "resources/Resources.h"

namespace {

QCursor LoadCursor(const QString& name, Qt::CursorShape fallback) {
    // The cursor pictures are 32 x 32 with their hot spot in the middle.
    if (const std::optional<QByteArray> bytes = Resources::Find(QStringLiteral("CURSOR"), name)) {
        QPixmap pixmap;
        if (pixmap.loadFromData(*bytes)) {
            return QCursor(pixmap, pixmap.width() / 2, pixmap.height() / 2);
        }
    }
    return QCursor(fallback);
}

// Hands the drag to the window system; false when it cannot take it.
bool StartSystemDrag(QWindow* handle, TBarLayout::HitArea area) {
    if (!handle) {
        return false;
    }
    switch (area) {
        case TBarLayout::HitArea::Caption:
            return handle->startSystemMove();
        case TBarLayout::HitArea::LeftEdge:
            return handle->startSystemResize(Qt::LeftEdge);
        case TBarLayout::HitArea::RightEdge:
            return handle->startSystemResize(Qt::RightEdge);
        case TBarLayout::HitArea::MinimiseBox:
            break;
    }
    return false;
}

}  // namespace

TBarFrame::TBarFrame(QWidget* window)
    : window_(window),
      captionCursor_(LoadCursor(QStringLiteral("CAPTION"), Qt::SizeAllCursor)),
      reduceCursor_(LoadCursor(QStringLiteral("REDUCE"), Qt::PointingHandCursor)) {}

void TBarFrame::Press(TBarLayout::HitArea area, QPoint global) {
    pressGlobal_ = global;
    pressGeometry_ = window_->geometry();
    if (!StartSystemDrag(window_->windowHandle(), area)) {
        dragging_ = area;
    }
}

void TBarFrame::Move(TBarLayout::HitArea area, QPoint global) {
    if (dragging_) {
        window_->setGeometry(
            TBarLayout::Dragged(*dragging_, pressGeometry_, global - pressGlobal_));
        return;
    }
    switch (area) {
        case TBarLayout::HitArea::Caption:
            window_->setCursor(captionCursor_);
            break;
        case TBarLayout::HitArea::MinimiseBox:
            window_->setCursor(reduceCursor_);
            break;
        case TBarLayout::HitArea::LeftEdge:
        case TBarLayout::HitArea::RightEdge:
            window_->setCursor(Qt::SizeHorCursor);
            break;
    }
}

void TBarFrame::Release() {
    dragging_.reset();
}

#include "shell/TDSLCanvas.h"

#include <QPainter>
#include <QWidget>

TDSLCanvas::TDSLCanvas(QWidget* target, std::function<QRect()> area, const QFont& font)
    : target_(target),
      area_(std::move(area)),
      font_(font),
      metrics_(font),
      height_(std::max(1, area_().height())) {}

int TDSLCanvas::AreaWidth() const {
    return area_().width();
}

int TDSLCanvas::TextPixelWidth(const QString& text) const {
    return metrics_.horizontalAdvance(text);
}

void TDSLCanvas::CompactStrip(int from, int width) {
    width = std::max(0, width);
    // A null picture stands for a strip of no columns.
    QImage next;
    if (width > 0) {
        next = QImage(width, height_, QImage::Format_RGB32);
        next.fill(Qt::white);
        if (!strip_.isNull() && from < width_) {
            QPainter painter(&next);
            painter.drawImage(QPoint(0, 0), strip_, QRect(from, 0, width_ - from, height_));
        }
    }
    strip_ = std::move(next);
    width_ = width;
}

void TDSLCanvas::DrawText(int x, const QString& text, bool link) {
    if (strip_.isNull()) {
        return;
    }
    QPainter painter(&strip_);
    painter.setFont(font_);
    // The strip is white whatever the desktop theme, so its text is black, not the theme's
    // window-text colour (near-white in a dark theme).
    painter.setPen(link ? QColor(0, 0, 255) : QColor(Qt::black));
    const int baseline = (height_ - metrics_.height()) / 2 + metrics_.ascent();
    painter.drawText(QPoint(x, baseline), text);
}

void TDSLCanvas::Paint(int viewOffset) {
    viewOffset_ = viewOffset;
    if (target_) {
        target_->update(area_());
    }
}

void TDSLCanvas::DrawOn(QPainter& painter) const {
    const QRect area = area_();
    painter.fillRect(area, Qt::white);
    if (!strip_.isNull()) {
        const int columns = std::min(area.width(), width_ - viewOffset_);
        if (columns > 0) {
            painter.drawImage(area.topLeft(), strip_,
                              QRect(viewOffset_, 0, columns, std::min(height_, area.height())));
        }
    }
}

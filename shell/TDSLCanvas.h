#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QRect>
#include <functional>

#include "shell/TDSLDrawer.h"

class QPainter;
class QWidget;

// The label drawer's strip as a picture: white, as high as the label area was at creation, with
// the text in black and links in pure blue. Paint asks the window to repaint the
// label area, whose paint event copies the visible columns with DrawOn. Main thread.
class TDSLCanvas : public TDSLSurface {
public:
    // `area` gives the label area in `target`'s coordinates (it follows the window's width).
    TDSLCanvas(QWidget* target, std::function<QRect()> area, const QFont& font);

    int AreaWidth() const override;
    int TextPixelWidth(const QString& text) const override;
    void CompactStrip(int from, int width) override;
    void DrawText(int x, const QString& text, bool link) override;
    void Paint(int viewOffset) override;

    void DrawOn(QPainter& painter) const;
    const QImage& Strip() const { return strip_; }

private:
    QWidget* target_;
    std::function<QRect()> area_;
    QFont font_;
    QFontMetrics metrics_;
    int height_;
    int width_ = 0;
    QImage strip_;
    int viewOffset_ = 0;
};

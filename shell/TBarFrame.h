#pragma once

#include <QCursor>
#include <QPoint>
#include <QRect>
#include <optional>

#include "shell/TBarLayout.h"

class QWidget;

// The bar's client area acting as its frame: a left press on the caption moves the window and
// one on an edge sizes it, through the window system when it can and else by following the
// mouse; between drags the cursor shows the part under it. Main thread only.
class TBarFrame {
public:
    // `window` is the bar; it outlives this object.
    explicit TBarFrame(QWidget* window);

    // A left press on `area` (not the minimise box) at screen point `global`.
    void Press(TBarLayout::HitArea area, QPoint global);
    // The mouse moved to screen point `global`, over `area` of the client area.
    void Move(TBarLayout::HitArea area, QPoint global);
    // The button was released or the press became a double-click.
    void Release();

private:
    QWidget* window_;
    QCursor captionCursor_;
    QCursor reduceCursor_;
    // The frame part being dragged by hand, where the drag began and the geometry then.
    std::optional<TBarLayout::HitArea> dragging_;
    QPoint pressGlobal_;
    QRect pressGeometry_;
};

#pragma once

#include <QPoint>
#include <QRect>
#include <array>
#include <optional>

// Where the bar's parts sit for a given client size, which parts of the client area act as
// window frame parts, the bar's size limits and the widths of its open and close animation.
// All in client pixels. A plain value: no window is involved, any thread may use it.
class TBarLayout {
public:
    // Where a point of the client area acts like a window frame part.
    enum class HitArea { LeftEdge, MinimiseBox, Caption, RightEdge };

    // The hidden sizer picture's side: the scale reference for the genre picture and the height.
    static constexpr int kSizerSize = 32;
    static constexpr int kHeight = kSizerSize * 56 / 32;
    static constexpr int kLeftImageWidth = 80;
    static constexpr int kRightImageWidth = 24;
    static constexpr int kMinimumWidth = kLeftImageWidth + kRightImageWidth + 8;
    static constexpr int kAnimationFrames = 8;

    TBarLayout(int width, int height);

    HitArea HitTest(QPoint client) const;
    // The column of the label area under `client`, when the point lies in the area or on the
    // line just past its right or bottom edge.
    std::optional<int> LabelColumnAt(QPoint client) const;

    QRect LeftImageRect() const;
    QRect MiddleImageRect() const;
    QRect RightImageRect() const;
    QRect GenreRect() const;
    QRect MeterRect() const;
    QRect ServiceLabelRect() const;
    QRect DSLImageRect() const;
    QRect IndicatorRect() const;

    // The window's shape is the union of these two rectangles, each rounded with corner ellipses
    // CornerDiameter() across: a round end for the genre picture, and the body.
    QRect ShapeEndRect() const;
    QRect ShapeBodyRect() const;
    int CornerDiameter() const;

    // The widths of the animation frames for a bar `target` wide, from the narrowest bar up.
    static std::array<int, kAnimationFrames> AnimationWidths(int target);
    // The window geometry after the mouse moved by `delta` from where a drag on `area` began with
    // the window at `from`: the caption moves the window, an edge sizes it with the other edge
    // kept, never narrower than kMinimumWidth.
    static QRect Dragged(HitArea area, const QRect& from, QPoint delta);

private:
    // A part given at the base size that grows with the width and/or the height.
    QRect Stretched(const QRect& atBase, bool withWidth, bool withHeight) const;

    int width_;
    int height_;
};

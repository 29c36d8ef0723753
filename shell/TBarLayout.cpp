#include "shell/TBarLayout.h"

#include <algorithm>

namespace {

constexpr int kBaseWidth = 320;

// Parts at the base size; the stretching rules are in the accessors.
constexpr QRect kGenre{12, 12, TBarLayout::kSizerSize, TBarLayout::kSizerSize};
constexpr QRect kMeter{68, 12, 9, 33};
constexpr QRect kServiceLabel{88, 15, 215, 13};
constexpr QRect kLabelArea{88, 31, 215, 15};
constexpr QRect kIndicator{292, 12, 16, 16};

// Frame parts of the client area: the left edge up to and including x = 10, the right edge's
// width, and the minimise box in the top-right corner.
constexpr int kLeftEdgeWidth = 11;
constexpr int kRightEdgeWidth = 24;
constexpr int kMinimiseBoxWidth = 48;
constexpr int kMinimiseBoxHeight = 15;

// The round end is as wide as the bar is high; the body starts under the left picture.
constexpr int kBodyLeft = TBarLayout::kLeftImageWidth * 52 / 80;
constexpr int kCornerAtDesign = 44;

}  // namespace

TBarLayout::TBarLayout(int width, int height) : width_(width), height_(height) {}

TBarLayout::HitArea TBarLayout::HitTest(QPoint client) const {
    if (client.x() < kLeftEdgeWidth) {
        return HitArea::LeftEdge;
    }
    if (client.x() >= width_ - kMinimiseBoxWidth && client.y() < kMinimiseBoxHeight) {
        return HitArea::MinimiseBox;
    }
    if (client.x() < width_ - kRightEdgeWidth) {
        return HitArea::Caption;
    }
    return HitArea::RightEdge;
}

std::optional<int> TBarLayout::LabelColumnAt(QPoint client) const {
    const QRect area = DSLImageRect();
    const QPoint p = client - area.topLeft();
    if (p.x() < 0 || p.x() > area.width() || p.y() < 0 || p.y() > area.height()) {
        return std::nullopt;
    }
    return p.x();
}

QRect TBarLayout::Stretched(const QRect& atBase, bool withWidth, bool withHeight) const {
    return atBase.adjusted(0, 0, withWidth ? width_ - kBaseWidth : 0,
                           withHeight ? height_ - kHeight : 0);
}

QRect TBarLayout::LeftImageRect() const {
    return QRect(0, 0, kLeftImageWidth, height_);
}

QRect TBarLayout::MiddleImageRect() const {
    return QRect(kLeftImageWidth, 0, std::max(0, width_ - kLeftImageWidth - kRightImageWidth),
                 height_);
}

QRect TBarLayout::RightImageRect() const {
    return QRect(width_ - kRightImageWidth, 0, kRightImageWidth, height_);
}

QRect TBarLayout::GenreRect() const {
    return kGenre;
}

QRect TBarLayout::MeterRect() const {
    return Stretched(kMeter, false, true);
}

QRect TBarLayout::ServiceLabelRect() const {
    return Stretched(kServiceLabel, true, false);
}

QRect TBarLayout::DSLImageRect() const {
    return Stretched(kLabelArea, true, true);
}

QRect TBarLayout::IndicatorRect() const {
    return kIndicator.translated(width_ - kBaseWidth, 0);
}

QRect TBarLayout::ShapeEndRect() const {
    return QRect(0, 0, height_, height_);
}

QRect TBarLayout::ShapeBodyRect() const {
    return QRect(kBodyLeft, 0, width_ - kBodyLeft, height_);
}

int TBarLayout::CornerDiameter() const {
    return height_ * kCornerAtDesign / kHeight;
}

std::array<int, TBarLayout::kAnimationFrames> TBarLayout::AnimationWidths(int target) {
    const int step = (target - kMinimumWidth) / (kAnimationFrames - 1);
    std::array<int, kAnimationFrames> widths{};
    for (int i = 0; i < kAnimationFrames; ++i) {
        widths[i] = kMinimumWidth + step * i;
    }
    return widths;
}

QRect TBarLayout::Dragged(HitArea area, const QRect& from, QPoint delta) {
    switch (area) {
        case HitArea::Caption:
            return from.translated(delta);
        case HitArea::LeftEdge: {
            const int width = std::max(kMinimumWidth, from.width() - delta.x());
            return QRect(from.right() + 1 - width, from.top(), width, from.height());
        }
        case HitArea::RightEdge:
            return QRect(from.topLeft(),
                         QSize(std::max(kMinimumWidth, from.width() + delta.x()), from.height()));
        case HitArea::MinimiseBox:
            break;
    }
    return from;
}

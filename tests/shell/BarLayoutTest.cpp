#include <gtest/gtest.h>

#include <optional>

#include "shell/TBarLayout.h"

namespace {

using Hit = TBarLayout::HitArea;
using Part = QRect (TBarLayout::*)() const;

constexpr int kBaseWidth = 320;
constexpr int kBaseHeight = 56;

}  // namespace

// The left 11 and right 24 pixels size the bar, the top-right 48 x 15 corner minimises it and
// the rest drags it, at the base width and when widened.
TEST(BarLayout, HitTestFollowsTheRightEdge) {
    const struct {
        int width;
        QPoint point;
        Hit expected;
    } cases[] = {
        {320, {0, 30}, Hit::LeftEdge},     {320, {10, 0}, Hit::LeftEdge},
        {320, {11, 30}, Hit::Caption},     {320, {272, 14}, Hit::MinimiseBox},
        {320, {319, 0}, Hit::MinimiseBox}, {320, {271, 14}, Hit::Caption},
        {320, {272, 15}, Hit::Caption},    {320, {295, 15}, Hit::Caption},
        {320, {296, 15}, Hit::RightEdge},  {320, {319, 55}, Hit::RightEdge},
        {500, {452, 0}, Hit::MinimiseBox}, {500, {451, 0}, Hit::Caption},
        {500, {475, 40}, Hit::Caption},    {500, {476, 40}, Hit::RightEdge},
        {112, {10, 20}, Hit::LeftEdge},    {112, {64, 14}, Hit::MinimiseBox},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TBarLayout(c.width, kBaseHeight).HitTest(c.point), c.expected)
            << c.width << " wide at (" << c.point.x() << ", " << c.point.y() << ")";
    }
}

// Each part sits where the bar's base layout puts it, the text fields and the label area stretch
// with the width, the meter and the label area with the height, and the signs keep to the right
// edge.
TEST(BarLayout, PartsStretchOrMoveWithTheSize) {
    const struct {
        const char* name;
        Part part;
        int width;
        int height;
        QRect expected;
    } cases[] = {
        {"left picture", &TBarLayout::LeftImageRect, 320, 56, {0, 0, 80, 56}},
        {"middle picture", &TBarLayout::MiddleImageRect, 320, 56, {80, 0, 216, 56}},
        {"right picture", &TBarLayout::RightImageRect, 320, 56, {296, 0, 24, 56}},
        {"genre picture", &TBarLayout::GenreRect, 320, 56, {12, 12, 32, 32}},
        {"meter", &TBarLayout::MeterRect, 320, 56, {68, 12, 9, 33}},
        {"service label", &TBarLayout::ServiceLabelRect, 320, 56, {88, 15, 215, 13}},
        {"label area", &TBarLayout::DSLImageRect, 320, 56, {88, 31, 215, 15}},
        {"signs", &TBarLayout::IndicatorRect, 320, 56, {292, 12, 16, 16}},
        {"middle picture", &TBarLayout::MiddleImageRect, 400, 56, {80, 0, 296, 56}},
        {"right picture", &TBarLayout::RightImageRect, 400, 56, {376, 0, 24, 56}},
        {"genre picture", &TBarLayout::GenreRect, 400, 70, {12, 12, 32, 32}},
        {"meter", &TBarLayout::MeterRect, 400, 70, {68, 12, 9, 47}},
        {"service label", &TBarLayout::ServiceLabelRect, 400, 70, {88, 15, 295, 13}},
        {"label area", &TBarLayout::DSLImageRect, 400, 70, {88, 31, 295, 29}},
        {"signs", &TBarLayout::IndicatorRect, 400, 70, {372, 12, 16, 16}},
        {"middle picture", &TBarLayout::MiddleImageRect, 90, 56, {80, 0, 0, 56}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ((TBarLayout(c.width, c.height).*c.part)(), c.expected)
            << c.name << " at " << c.width << " x " << c.height;
    }
}

// The bar is at least 112 pixels wide and 56 high, and at its base size its shape is a 56-pixel
// round end joined to a body from x = 52, both with 44-pixel corners.
TEST(BarLayout, SizeLimitsAndShape) {
    EXPECT_EQ(TBarLayout::kMinimumWidth, 112);
    EXPECT_EQ(TBarLayout::kHeight, kBaseHeight);
    const TBarLayout base(kBaseWidth, kBaseHeight);
    EXPECT_EQ(base.ShapeEndRect(), QRect(0, 0, 56, 56));
    EXPECT_EQ(base.ShapeBodyRect(), QRect(52, 0, 268, 56));
    EXPECT_EQ(base.CornerDiameter(), 44);
}

// The animation runs eight frames from the narrowest bar up in equal whole-pixel steps of a
// seventh of the difference, so the last frame falls short of the target by the remainder.
TEST(BarLayout, AnimationWidths) {
    const struct {
        int target;
        int step;
    } cases[] = {{320, 29}, {500, 55}, {112, 0}, {119, 1}};
    for (const auto& c : cases) {
        const auto widths = TBarLayout::AnimationWidths(c.target);
        ASSERT_EQ(widths.size(), 8u);
        for (std::size_t i = 0; i < widths.size(); ++i) {
            EXPECT_EQ(widths[i], 112 + c.step * static_cast<int>(i)) << c.target << " frame " << i;
        }
    }
}

// A caption drag moves the bar; an edge drag sizes it with the opposite edge kept, never below
// the minimum width; the minimise box drags nothing.
TEST(BarLayout, DraggingTheFrame) {
    const QRect from(100, 200, 320, 56);
    const struct {
        Hit area;
        QPoint delta;
        QRect expected;
    } cases[] = {
        {Hit::Caption, {-30, 45}, {70, 245, 320, 56}},
        {Hit::RightEdge, {40, 9}, {100, 200, 360, 56}},
        {Hit::RightEdge, {-300, 0}, {100, 200, 112, 56}},
        {Hit::LeftEdge, {-50, 7}, {50, 200, 370, 56}},
        {Hit::LeftEdge, {300, 0}, {308, 200, 112, 56}},
        {Hit::MinimiseBox, {25, 25}, from},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TBarLayout::Dragged(c.area, from, c.delta), c.expected)
            << "delta (" << c.delta.x() << ", " << c.delta.y() << ")";
    }
}

// A point in the label area, its far edges included, gives its column there; any other point
// gives none.
TEST(BarLayout, LabelColumnUnderAPoint) {
    const struct {
        QPoint client;
        std::optional<int> expected;
    } cases[] = {
        {{88, 31}, 0},
        {{150, 40}, 62},
        {{303, 46}, 215},
        {{87, 40}, std::nullopt},
        {{304, 40}, std::nullopt},
        {{150, 30}, std::nullopt},
        {{150, 47}, std::nullopt},
    };
    const TBarLayout base(kBaseWidth, kBaseHeight);
    for (const auto& c : cases) {
        EXPECT_EQ(base.LabelColumnAt(c.client), c.expected)
            << "(" << c.client.x() << ", " << c.client.y() << ")";
    }
}

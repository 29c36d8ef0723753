#pragma once

#include <QImage>
#include <QRegion>
#include <QString>

class QPainter;
class TBarLayout;

// What the bar shows besides the dynamic label, at one moment.
struct TBarView {
    // The genre picture; null while hidden (during the animation).
    QImage genre;
    // Signal level, 0 to 100.
    int level = 0;
    QString serviceLabel;
    bool record = false;
    bool network = false;
};

// Paints the bar under the dynamic label: its three pieces, the genre picture, the signal meter,
// the service label and the record and stream signs; and gives the bar's shape. Holds the
// pictures it needs.
// Main thread only.
class TBarPainter {
public:
    TBarPainter();

    // `painter` draws on the bar with the bar's font.
    void Paint(QPainter& painter, const TBarLayout& layout, const TBarView& view) const;
    // The window region: the layout's round end and body, each with rounded corners.
    static QRegion Shape(const TBarLayout& layout);

private:
    void PaintMeter(QPainter& painter, const TBarLayout& layout, int level) const;

    QImage leftImage_;
    QImage middleImage_;
    QImage rightImage_;
    QImage recordImage_;
    QImage networkImage_;
};

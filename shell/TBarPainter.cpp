#include "shell/TBarPainter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "shell/GuiImages.h"
#include "shell/TBarLayout.h"

TBarPainter::TBarPainter()
    : leftImage_(GuiImages::Gif(QStringLiteral("BAR1"))),
      middleImage_(GuiImages::Gif(QStringLiteral("BAR2"))),
      rightImage_(GuiImages::Gif(QStringLiteral("BAR3"))),
      recordImage_(GuiImages::Gif(QStringLiteral("RECORD"))),
      networkImage_(GuiImages::Gif(QStringLiteral("NETWORK"))) {}

void TBarPainter::Paint(QPainter& painter, const TBarLayout& layout, const TBarView& view) const {
    painter.fillRect(painter.window(), Qt::white);
    painter.drawImage(layout.LeftImageRect(), leftImage_);
    painter.drawImage(layout.MiddleImageRect(), middleImage_);
    painter.drawImage(layout.RightImageRect(), rightImage_);
    if (!view.genre.isNull()) {
        painter.drawImage(layout.GenreRect(), view.genre);
    }
    PaintMeter(painter, layout, view.level);

    // A hairline round the label area, so that it reads as a field of the bar.
    painter.setPen(QColor(0xc9, 0xd2, 0xe3));
    painter.drawRect(layout.DSLImageRect().adjusted(-1, -1, 0, 0));

    painter.setPen(Qt::black);
    painter.drawText(layout.ServiceLabelRect(),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, view.serviceLabel);

    if (view.record) {
        painter.drawImage(layout.IndicatorRect(), recordImage_);
    }
    if (view.network) {
        painter.drawImage(layout.IndicatorRect(), networkImage_);
    }
}

QRegion TBarPainter::Shape(const TBarLayout& layout) {
    const qreal radius = layout.CornerDiameter() / 2.0;
    QPainterPath end;
    end.addRoundedRect(QRectF(layout.ShapeEndRect()), radius, radius);
    QPainterPath body;
    body.addRoundedRect(QRectF(layout.ShapeBodyRect()), radius, radius);
    return QRegion(end.united(body).toFillPolygon().toPolygon());
}

void TBarPainter::PaintMeter(QPainter& painter, const TBarLayout& layout, int level) const {
    // A sunken trough filled from the bottom.
    const QRect meter = layout.MeterRect();
    painter.fillRect(meter, QColor(0x8a, 0x98, 0xb8));
    const QRect trough = meter.adjusted(1, 1, -1, -1);
    painter.fillRect(trough, QColor(0xe6, 0xea, 0xf2));
    const int filled = trough.height() * std::clamp(level, 0, 100) / 100;
    if (filled > 0) {
        const QRect bar(trough.left(), trough.bottom() + 1 - filled, trough.width(), filled);
        QLinearGradient fill(trough.bottomLeft(), trough.topLeft());
        fill.setColorAt(0, QColor(0x2f, 0x4a, 0x9e));
        fill.setColorAt(1, QColor(0xf2, 0x8a, 0x2e));
        painter.fillRect(bar, QBrush(fill));
    }
}

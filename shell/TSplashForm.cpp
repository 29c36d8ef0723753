#include "shell/TSplashForm.h"

#include <QGuiApplication>
#include <QPainter>
#include <QRegion>
#include <QScreen>

#include "Version.h"
#include "shell/GuiImages.h"
#include "shell/Startup.h"

TSplashForm::TSplashForm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      background_(GuiImages::Gif(QStringLiteral("SPLASH"))),
      name_(GuiImages::Gif(QStringLiteral("TUNORA"))) {
    setFixedSize(300, 100);
    setWindowIcon(GuiImages::MainIcon());
    setAttribute(Qt::WA_DeleteOnClose, false);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->geometry().center() - rect().center());
    }
}

void TSplashForm::resizeEvent(QResizeEvent*) {
    // Rounded rectangle over the whole window: corner ellipse W*44/300 by H*44/100.
    const int w = width();
    const int h = height();
    const int ew = w * 44 / 300;
    const int eh = h * 44 / 100;
    QRegion region(0, 0, w, h);
    // Cut the four corners outside the quarter ellipses.
    const QRegion corner(0, 0, ew, eh, QRegion::Ellipse);
    const QRegion box(0, 0, ew / 2, eh / 2);
    region -= box - corner;
    region -= box.translated(w - ew / 2, 0) - corner.translated(w - ew, 0);
    region -= box.translated(0, h - eh / 2) - corner.translated(0, h - eh);
    region -= box.translated(w - ew / 2, h - eh / 2) - corner.translated(w - ew, h - eh);
    setMask(region);
}

void TSplashForm::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!background_.isNull()) {
        painter.drawImage(rect(), background_);
    }
    if (!name_.isNull()) {
        painter.drawImage(QRect(16, 12, 268, 64), name_);
    }
    const QString text = QStringLiteral("Version ") + QString::fromLatin1(TunoraVersion);
    const QFontMetrics metrics = painter.fontMetrics();
    const int textWidth = metrics.horizontalAdvance(text);
    painter.setPen(QColor(0x33, 0x33, 0x33));
    painter.drawText(QPoint(275 - textWidth, 75 + metrics.ascent()), text);
}

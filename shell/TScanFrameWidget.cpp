#include "shell/TScanFrameWidget.h"

#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QVBoxLayout>

TScanFrameWidget::TScanFrameWidget(TMainControl& control, TServiceTablesWrapper& tables,
                                   QWidget* parent)
    : QWidget(parent),
      frame_(control, tables),
      TheMemo(new QPlainTextEdit(this)),
      TheProgressBar(new QProgressBar(this)) {
    TheMemo->setReadOnly(true);
    TheMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    TheProgressBar->setRange(0, frame_.Maximum());
    TheProgressBar->setValue(frame_.Position());
    TheProgressBar->setTextVisible(false);
    TheProgressBar->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(TheMemo, 1);
    layout->addWidget(TheProgressBar);

    connect(&frame_, &TScanFrame::LineAdded, TheMemo,
            [this](const QString& line) { TheMemo->appendPlainText(line); });
    connect(&frame_, &TScanFrame::LogCleared, TheMemo, &QPlainTextEdit::clear);
    connect(&frame_, &TScanFrame::ProgressChanged, TheProgressBar,
            [this](int position, int maximum) {
                TheProgressBar->setMaximum(maximum);
                TheProgressBar->setValue(position);
            });
}

bool TScanFrameWidget::eventFilter(QObject* watched, QEvent* event) {
    if (watched == TheProgressBar && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        frame_.ProgressBarClick(qRound(mouse->position().x()), TheProgressBar->width());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

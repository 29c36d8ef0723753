#pragma once

#include <QWidget>

#include "services/TScanFrame.h"

class QPlainTextEdit;
class QProgressBar;
class TMainControl;
class TServiceTablesWrapper;

// The scan panel: the log (`TheMemo`) and the progress bar (`TheProgressBar`, 0 to 80) of its
// own scan, which it shows as the scan goes. Used by the scan window and by the options
// window's "Scan" page; the holder starts and cancels the scan through Frame() and answers
// its ScanEnded notice. Main thread only.
class TScanFrameWidget : public QWidget {
    Q_OBJECT

public:
    // The collaborators are not owned and must outlive the panel.
    TScanFrameWidget(TMainControl& control, TServiceTablesWrapper& tables,
                     QWidget* parent = nullptr);

    TScanFrame& Frame() { return frame_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TScanFrame frame_;
    QPlainTextEdit* TheMemo;
    QProgressBar* TheProgressBar;
};

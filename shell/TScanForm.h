#pragma once

#include <QWidget>

class QPushButton;
class TMainControl;
class TScanFrameWidget;
class TServiceTablesWrapper;

// The small scan window: one scan with its log and progress, and a Cancel button. It starts its
// scan when opened, closes itself when the scan ends, and frees itself when closed (Escape
// closes it; closing while scanning cancels). At most one exists, held in ScanForm.
// Main thread only.
class TScanForm : public QWidget {
    Q_OBJECT

public:
    // Creates the window (owned by `owner`, e.g. the bar) and starts its scan when none exists,
    // else brings the existing one forward. Not modal.
    static void ShowScanWindow(TMainControl& control, TServiceTablesWrapper& tables,
                               QWidget* owner);

    ~TScanForm() override;

    TScanFrameWidget* ScanFrame1;
    QPushButton* CancelButton;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    TScanForm(TMainControl& control, TServiceTablesWrapper& tables, QWidget* owner);
    void CancelButtonClick();
};

// The open scan window, null when there is none.
extern TScanForm* ScanForm;

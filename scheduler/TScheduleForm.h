#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "scheduler/TScheduleChecker.h"
#include "scheduler/TScheduleWrapper.h"
#include "windows/TWindowSizes.h"

class QAction;
class QMenu;
class QPushButton;
class QTableWidget;
class TScheduleEvent;
class TServiceTablesWrapper;
class TSettingsWrapper;

// "Tunora - Schedule": the timed recordings in a grid (seven day columns Monday first, date,
// time, length, service, file) with Add, Edit, Delete, Save and Cancel. Works on a copy of the
// schedule of its own and writes "Schedule.csv" (and the wake-up triggers) only on Save. At most
// one exists, held in ScheduleForm; it frees itself when closed. Data rows are numbered from 1,
// as the grid's header is row 0. Main thread only.
class TScheduleForm : public QWidget {
    Q_OBJECT

public:
    enum Column {
        MondayColumn,
        SundayColumn = MondayColumn + 6,
        DateColumn,
        TimeColumn,
        LengthColumn,
        ServiceColumn,
        FilenameColumn,
        ColumnCount
    };
    // Edits `event` in place; true when the user chose OK.
    using EventEditor = std::function<bool(TScheduleEvent& event)>;

    // Creates and shows the window (owned by `owner`), or brings the open one forward.
    static TScheduleForm* ShowSchedule(TServiceTablesWrapper& tables, TSettingsWrapper& settings,
                                       QWidget* owner);
    ~TScheduleForm() override;

    // Reads the file again when it changed, sorts and shows every event.
    void FillGrid();
    void AddEventActionExecute();
    // Also a double click on a data row; a row without an event does nothing.
    void EditEventActionExecute();
    void DeleteEventActionExecute();
    void SaveActionExecute();
    void CancelActionExecute();
    void ResetWindowSizes();
    // A double click on grid row `row` (0 the header).
    void GridDoubleClicked(int row);

    bool Modified() const { return modified_; }
    const TScheduleWrapper& Schedule() const { return schedule_; }
    int RowCount() const;
    int SelectedRow() const;
    void SelectRow(int row);
    QString RowText(int row, int column) const;

    // How Add and Edit edit an event: the modal event window unless replaced.
    EventEditor EditEvent;

    QTableWidget* TheStringGrid;
    QPushButton* AddButton;
    QPushButton* EditButton;
    QPushButton* DeleteButton;
    QPushButton* SaveButton;
    QPushButton* CancelButton;
    QAction* ResetSizesAction;
    // The window's own menu (reset sizes), opened by a right click.
    QMenu* WindowMenu;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    TScheduleForm(TServiceTablesWrapper& tables, TSettingsWrapper& settings, QWidget* owner);
    QPushButton* AddButtonFor(const QString& caption, void (TScheduleForm::*execute)());
    void OfferToDeletePastEvents();
    bool PassesClashTest(const TScheduleEvent& candidate);
    // Edits `event` until it is cancelled (false) or passes the clash test (true).
    bool EditUntilAccepted(TScheduleEvent& event);
    void ForceDayColumns();

    TServiceTablesWrapper& tables_;
    TSettingsWrapper& settings_;
    TScheduleWrapper schedule_;
    TScheduleChecker checker_;
    TWindowSizes sizes_;
    QPixmap XImage;
    bool modified_ = false;
    bool closing_ = false;
};

// The open schedule window, null when there is none.
extern TScheduleForm* ScheduleForm;

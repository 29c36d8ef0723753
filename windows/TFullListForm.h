#pragma once

#include <QList>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "windows/TImageList.h"
#include "windows/TServicePictures.h"
#include "windows/TWindowSizes.h"

class QAction;
class QCheckBox;
class QMenu;
class QPushButton;
class QTableWidget;
class TMainControl;
class TServiceTablesWrapper;
class TSettingsWrapper;

// "Tunora - Full Service List": every audio service in a grid (genre icon, recording mark, name,
// genre, multiplex, favourite mark), sortable by the three text columns, with Listen, Preview,
// Record, Favourite and Properties. At most one exists, held in FullListForm; it frees itself
// when closed. Data rows are numbered from 1, as the grid's header is row 0. Main thread only.
class TFullListForm : public QWidget {
    Q_OBJECT

public:
    enum Column {
        IconColumn,
        RecordColumn,
        ServiceColumn,
        GenreColumn,
        MultiplexColumn,
        FavouriteColumn,
        ColumnCount
    };
    // Row height and picture size of the grid (pixels).
    static constexpr int kSizerSize = 16;
    static constexpr int kDisplayInterval = 250;  // ms

    // Creates and shows the window (owned by `owner`, e.g. the bar), or brings the open one
    // forward. With no audio service shows "No Services Found" and opens nothing; null then.
    static TFullListForm* ShowFullList(TServiceTablesWrapper& tables, TSettingsWrapper& settings,
                                       TMainControl& control, QWidget* owner);
    ~TFullListForm() override;

    // Refills the grid; throws std::runtime_error("No Services Found") and leaves the grid as it
    // was when there is no audio service. Sort mode 1 label, 2 genre, 3 multiplex.
    void FillList(int sortMode, double lockedFrequency);
    // The 250 ms tick: blinks the recording marks and refills when the locked frequency moved.
    void DisplayTimerTimer();
    // A left click on the header of `column`: columns 2 to 4 sort by themselves.
    void HeaderClicked(int column);
    // A left click on data row `row` (from 1) in `column`.
    void CellClicked(int row, int column);
    void ListenActionExecute();
    void PreviewActionExecute();
    void RecordActionExecute();
    void FavouriteActionExecute();
    void PropertiesActionExecute();
    void ResetWindowSizes();
    // Opens the popup menu for data row `row` at screen point `at` (returns when it closes).
    void PopupAt(int row, const QPoint& at);

    int SortMode() const { return sortMode_; }
    int RowCount() const;
    int SelectedRow() const;
    void SelectRow(int row);
    int TopRow() const;
    std::int32_t SelectedService() const { return RowService(SelectedRow()); }
    std::int32_t RowService(int row) const;
    bool RowRecording(int row) const;
    bool RowFavourite(int row) const;
    bool RowGreyed(int row) const;
    QString RowText(int row, int column) const;

    QTableWidget* FullStringGrid;
    QCheckBox* SecondaryCheckBox;
    QPushButton* ListenButton;
    QPushButton* CloseButton;
    QTimer DisplayTimer;
    QAction* ListenAction;
    QAction* CloseAction;
    QAction* PreviewAction;
    QAction* RecordAction;
    QAction* FavouriteAction;
    QAction* PropertiesAction;
    QAction* ResetSizesAction;
    QMenu* FullListPopupMenu;
    // The window's own menu (reset sizes), opened by a right click outside the grid.
    QMenu* WindowMenu;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    TFullListForm(TServiceTablesWrapper& tables, TSettingsWrapper& settings, TMainControl& control,
                  QWidget* owner);
    QAction* AddAction(const QString& caption, void (TFullListForm::*execute)());
    // The selected service when it is still in the tables; else the list is refilled and 0.
    std::int32_t TakeSelectedService();
    // Refill from a tick or a click: a list that would be empty keeps the grid.
    void Refill();
    bool HandleKeyPress(QKeyEvent* event);
    bool HandleKeyRelease(QKeyEvent* event);
    QPixmap CellPicture(const QModelIndex& index, bool selected) const;
    const TServicePictures& Pictures();

    TServiceTablesWrapper& tables_;
    TSettingsWrapper& settings_;
    TMainControl& control_;
    std::unique_ptr<TServicePictures> ownPictures_;
    TWindowSizes sizes_;
    QList<QPixmap> TheImageList;
    TImageList IconImageList;
    QList<QPixmap> iconPixmaps_;
    int sortMode_ = 1;
    double lockedFrequency_ = 0.0;
    int phase_ = 0;
    bool closing_ = false;
};

// The open service list window, null when there is none.
extern TFullListForm* FullListForm;

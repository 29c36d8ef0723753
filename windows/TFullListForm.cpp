#include "windows/TFullListForm.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>
#include <exception>
#include <stdexcept>

#include "platform/Dialogs.h"
#include "receiver/RetuneQuestion.h"
#include "receiver/TMainControl.h"
#include "recording/TRecordManager.h"
#include "services/TListEntry.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"
#include "shell/GuiImages.h"
#include "windows/TFullListDelegate.h"
#include "windows/TServicePictures.h"
#include "windows/TServicePropertiesForm.h"

TFullListForm* FullListForm = nullptr;

namespace {

// Per-row objects of the grid's cells.
constexpr int kObjectRole = Qt::UserRole;
constexpr int kGreyRole = Qt::UserRole + 1;
// Where the keys open the popup menu, from the window's top-left corner.
constexpr int kKeyMenuX = 128;
constexpr int kKeyMenuY = 32;
constexpr int kMinimumWidth = 340;
constexpr int kMargin = 4;
constexpr int kMinimumHeight = 128;
constexpr QSize kDefaultSize(355, 420);
const QString kNoServices = QStringLiteral("No Services Found");

void ShowError(const std::exception& error) {
    Dialogs::Instance().MessageBox(DialogKind::Error, QString::fromLocal8Bit(error.what()),
                                   DialogButtons::Ok);
}

QPixmap FromEntry(const TImageList::Entry& entry) {
    QImage image = GuiImages::FromBitmap(entry.Image);
    for (int y = 0; y < image.height() && y < entry.Mask.Height(); ++y) {
        for (int x = 0; x < image.width() && x < entry.Mask.Width(); ++x) {
            if (entry.Mask.Pixel(x, y) != 0) {
                image.setPixel(x, y, 0);
            }
        }
    }
    return QPixmap::fromImage(image);
}

bool NoModifiers(const QKeyEvent* event) {
    return !(event->modifiers() &
             (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

}  // namespace

TFullListForm* TFullListForm::ShowFullList(TServiceTablesWrapper& tables,
                                           TSettingsWrapper& settings, TMainControl& control,
                                           QWidget* owner) {
    if (FullListForm) {
        FullListForm->show();
        FullListForm->raise();
        FullListForm->activateWindow();
        return FullListForm;
    }
    TFullListForm* form = nullptr;
    try {
        form = new TFullListForm(tables, settings, control, owner);
    } catch (const std::exception& error) {
        // Nothing to list: the error box, and no window.
        ShowError(error);
        return nullptr;
    }
    form->show();
    return form;
}

TFullListForm::TFullListForm(TServiceTablesWrapper& tables, TSettingsWrapper& settings,
                             TMainControl& control, QWidget* owner)
    : QWidget(owner, Qt::Window),
      FullStringGrid(new QTableWidget(0, ColumnCount, this)),
      SecondaryCheckBox(new QCheckBox(QStringLiteral("Show Secondary Services"), this)),
      ListenButton(new QPushButton(QStringLiteral("&Listen"), this)),
      CloseButton(new QPushButton(QStringLiteral("&Close"), this)),
      tables_(tables),
      settings_(settings),
      control_(control),
      sizes_(this, FullStringGrid, settings, Setting::ListSize, kDefaultSize,
             {kSizerSize, kSizerSize, 98, 64, 98, kSizerSize}),
      IconImageList(kSizerSize, kSizerSize) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("TFullListForm"));
    setWindowTitle(QStringLiteral("Tunora - Full Service List"));
    setWindowIcon(GuiImages::MainIcon());
    setMinimumSize(kMinimumWidth, kMinimumHeight);

    for (int i = 0; i < 7; ++i) {
        TheImageList.append(QPixmap::fromImage(GuiImages::Gif(QStringLiteral("LIST%1").arg(i))));
    }

    ListenAction = AddAction(QStringLiteral("&Listen"), &TFullListForm::ListenActionExecute);
    CloseAction = new QAction(QStringLiteral("&Close"), this);
    connect(CloseAction, &QAction::triggered, this, &QWidget::close);
    PreviewAction = AddAction(QStringLiteral("&Preview"), &TFullListForm::PreviewActionExecute);
    RecordAction = AddAction(QStringLiteral("&Record"), &TFullListForm::RecordActionExecute);
    FavouriteAction =
        AddAction(QStringLiteral("&Favourite"), &TFullListForm::FavouriteActionExecute);
    PropertiesAction =
        AddAction(QStringLiteral("P&roperties"), &TFullListForm::PropertiesActionExecute);
    FullListPopupMenu = new QMenu(this);
    FullListPopupMenu->addAction(ListenAction);
    FullListPopupMenu->addSeparator();
    FullListPopupMenu->addAction(PreviewAction);
    FullListPopupMenu->addAction(RecordAction);
    FullListPopupMenu->addAction(FavouriteAction);
    FullListPopupMenu->addSeparator();
    FullListPopupMenu->addAction(PropertiesAction);
    ResetSizesAction = sizes_.MakeResetAction(this);
    WindowMenu = new QMenu(this);
    WindowMenu->addAction(ResetSizesAction);

    // The grid: whole-row selection, resizable columns, the header as row 0.
    FullStringGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    FullStringGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    FullStringGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FullStringGrid->verticalHeader()->hide();
    FullStringGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    FullStringGrid->verticalHeader()->setDefaultSectionSize(kSizerSize);
    FullStringGrid->setShowGrid(false);
    FullStringGrid->setWordWrap(false);
    FullStringGrid->setIconSize(QSize(kSizerSize, kSizerSize));
    FullStringGrid->horizontalHeader()->setSectionsClickable(true);
    FullStringGrid->horizontalHeader()->setHighlightSections(false);
    FullStringGrid->horizontalHeader()->setMinimumSectionSize(kSizerSize);
    FullStringGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    FullStringGrid->installEventFilter(this);
    FullStringGrid->setItemDelegate(new TFullListDelegate(
        [this](const QModelIndex& index, bool selected) { return CellPicture(index, selected); },
        [](int column) {
            return column == IconColumn || column == RecordColumn || column == FavouriteColumn;
        },
        FullStringGrid));
    const QStringList headers{QString(),
                              QString(),
                              QStringLiteral("Service"),
                              QStringLiteral("Genre"),
                              QStringLiteral("Multiplex"),
                              QString()};
    for (int c = 0; c < ColumnCount; ++c) {
        auto* item = new QTableWidgetItem(headers[c]);
        const int image = c == IconColumn ? 0 : c == RecordColumn ? 1 : 2;
        if (headers[c].isEmpty()) {
            item->setIcon(QIcon(TheImageList.value(image)));
        }
        FullStringGrid->setHorizontalHeaderItem(c, item);
    }

    ListenButton->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(SecondaryCheckBox);
    buttons->addStretch(1);
    buttons->addWidget(ListenButton);
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    // Narrow margins: at the minimum width the check box's caption still fits beside the buttons.
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    buttons->setSpacing(kMargin);
    layout->addWidget(FullStringGrid, 1);
    layout->addLayout(buttons);

    connect(ListenButton, &QPushButton::clicked, ListenAction, &QAction::trigger);
    connect(CloseButton, &QPushButton::clicked, CloseAction, &QAction::trigger);
    connect(FullStringGrid->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { HeaderClicked(column); });
    connect(FullStringGrid, &QTableWidget::cellClicked, this,
            [this](int row, int column) { CellClicked(row + 1, column); });
    connect(FullStringGrid, &QTableWidget::cellDoubleClicked, this,
            [this](int, int) { ListenAction->trigger(); });
    connect(FullStringGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const int row = FullStringGrid->rowAt(at.y());
        if (closing_) {
            return;
        }
        if (row >= 0) {
            PopupAt(row + 1, FullStringGrid->viewport()->mapToGlobal(at));
        } else {
            WindowMenu->exec(FullStringGrid->viewport()->mapToGlobal(at));
        }
    });
    connect(SecondaryCheckBox, &QCheckBox::clicked, this, [this](bool on) {
        settings_.WriteBool(Setting::ShowSecondaryServices, on);
        Refill();
    });

    // Opening: the sort mode, the list, then the stored sizes, top row and selection. A list
    // with no services throws from here, before the window is registered.
    SecondaryCheckBox->setChecked(settings_.ReadBool(Setting::ShowSecondaryServices));
    const int stored = settings_.ReadInteger(Setting::ListSort);
    FillList(stored >= 1 && stored <= 3 ? stored : 1, control_.LockedFrequency());
    sizes_.Restore();
    const std::int32_t top = tables_.FindServiceByKey(settings_.ReadString(Setting::ListTop));
    const std::int32_t selected = tables_.FindServiceByKey(settings_.ReadString(Setting::ListSel));
    SelectRow(1);
    for (int row = 1; row <= RowCount(); ++row) {
        if (top != 0 && RowService(row) == top) {
            FullStringGrid->scrollToItem(FullStringGrid->item(row - 1, ServiceColumn),
                                         QAbstractItemView::PositionAtTop);
        }
        if (selected != 0 && RowService(row) == selected) {
            SelectRow(row);
        }
    }

    FullListForm = this;
    DisplayTimer.setInterval(kDisplayInterval);
    connect(&DisplayTimer, &QTimer::timeout, this, [this] { DisplayTimerTimer(); });
    DisplayTimer.start();
}

TFullListForm::~TFullListForm() {
    if (FullListForm == this) {
        FullListForm = nullptr;
    }
}

QAction* TFullListForm::AddAction(const QString& caption, void (TFullListForm::*execute)()) {
    auto* action = new QAction(caption, this);
    connect(action, &QAction::triggered, this, [this, execute] {
        try {
            (this->*execute)();
        } catch (const std::exception& error) {
            ShowError(error);
        }
    });
    return action;
}

const TServicePictures& TFullListForm::Pictures() {
    return TServicePictures::SharedOr(ownPictures_, tables_);
}

void TFullListForm::FillList(int sortMode, double lockedFrequency) {
    Q_ASSERT(QThread::currentThread() == thread());
    sortMode_ = sortMode;
    lockedFrequency_ = lockedFrequency;
    const std::int32_t remembered = SelectedService();
    TListEntries list;
    tables_.ListServices(list, u'A', SecondaryCheckBox->isChecked(), sortMode);
    if (list.isEmpty()) {
        throw std::runtime_error(kNoServices.toStdString());
    }
    IconImageList.Clear();
    iconPixmaps_.clear();
    FullStringGrid->clearSelection();
    FullStringGrid->setRowCount(static_cast<int>(list.size()));
    const TServicePictures& pictures = Pictures();
    for (int i = 0; i < list.size(); ++i) {
        const auto id = static_cast<std::int32_t>(list[i].Object);
        const bool grey = !control_.CanUseService(id, true);
        const int icon = pictures.AddServicePicture(IconImageList, id, grey);
        iconPixmaps_.append(icon >= 0 ? FromEntry(IconImageList.At(icon)) : QPixmap());
        auto* iconItem = new QTableWidgetItem;
        iconItem->setData(kObjectRole, icon);
        iconItem->setData(kGreyRole, grey);
        FullStringGrid->setItem(i, IconColumn, iconItem);
        // A refill keeps the blink where it is, so a recording that moved the locked frequency
        // shows on the tick that noticed it.
        auto* recordItem = new QTableWidgetItem;
        recordItem->setData(kObjectRole,
                            phase_ != 0 && RecordManager && RecordManager->IsRecording(id) ? 1 : 0);
        FullStringGrid->setItem(i, RecordColumn, recordItem);
        FullStringGrid->setItem(i, ServiceColumn,
                                new QTableWidgetItem(tables_.GetServiceDisplayName(id)));
        auto* genreItem = new QTableWidgetItem(tables_.GetServiceProgrammeTypeName(id));
        genreItem->setData(kObjectRole, id);
        FullStringGrid->setItem(i, GenreColumn, genreItem);
        FullStringGrid->setItem(i, MultiplexColumn,
                                new QTableWidgetItem(tables_.GetServiceEnsembleLabel(id)));
        auto* favouriteItem = new QTableWidgetItem;
        favouriteItem->setData(kObjectRole, 0);
        FullStringGrid->setItem(i, FavouriteColumn, favouriteItem);
    }
    int select = 1;
    for (int row = 1; row <= RowCount(); ++row) {
        if (remembered != 0 && RowService(row) == remembered) {
            select = row;
        }
    }
    SelectRow(select);
    TListEntries favourites;
    settings_.GetFavourites(favourites);
    for (int row = 1; row <= RowCount(); ++row) {
        bool favourite = false;
        for (const TListEntry& entry : favourites) {
            favourite = favourite || entry.Object == RowService(row);
        }
        FullStringGrid->item(row - 1, FavouriteColumn)->setData(kObjectRole, favourite ? 1 : 0);
    }
}

void TFullListForm::Refill() {
    try {
        FillList(sortMode_, control_.LockedFrequency());
    } catch (const std::exception&) {
        // The services went (a rescan is emptying the tables): keep showing the old list.
        lockedFrequency_ = control_.LockedFrequency();
    }
}

void TFullListForm::DisplayTimerTimer() {
    phase_ = (phase_ + 1) % 4;
    for (int row = 1; row <= RowCount(); ++row) {
        const bool shown =
            phase_ != 0 && RecordManager && RecordManager->IsRecording(RowService(row));
        QTableWidgetItem* item = FullStringGrid->item(row - 1, RecordColumn);
        if (item->data(kObjectRole).toInt() != (shown ? 1 : 0)) {
            item->setData(kObjectRole, shown ? 1 : 0);
        }
    }
    if (control_.LockedFrequency() != lockedFrequency_) {
        Refill();
    }
}

void TFullListForm::HeaderClicked(int column) {
    if (closing_ || column < ServiceColumn || column > MultiplexColumn) {
        return;
    }
    settings_.WriteInteger(Setting::ListSort, column - 1);
    sortMode_ = column - 1;
    Refill();
}

void TFullListForm::CellClicked(int row, int column) {
    if (closing_ || row < 1 || row > RowCount()) {
        return;
    }
    if (column == IconColumn) {
        PreviewAction->trigger();
    } else if (column == RecordColumn) {
        RecordAction->trigger();
    } else if (column == FavouriteColumn) {
        FavouriteAction->trigger();
    }
}

std::int32_t TFullListForm::TakeSelectedService() {
    const std::int32_t id = SelectedService();
    if (tables_.GetServiceKind(id) != u'A') {
        // Gone from the tables since the last fill (a rescan): show what is there now.
        Refill();
        return 0;
    }
    return id;
}

void TFullListForm::ListenActionExecute() {
    const std::int32_t id = TakeSelectedService();
    if (id == 0 || !ConfirmRetune(control_, id)) {
        return;
    }
    if (id != control_.PlayingServiceID()) {
        control_.PlayService(id, settings_.ReadBool(Setting::ShowAudioInfo));
    }
    close();
}

void TFullListForm::PreviewActionExecute() {
    const std::int32_t id = TakeSelectedService();
    if (id == 0 || !ConfirmRetune(control_, id)) {
        return;
    }
    if (id != control_.CurrentService()) {
        control_.PlayService(id, settings_.ReadBool(Setting::ShowAudioInfo));
    } else {
        control_.PlayService(0, false);
    }
}

void TFullListForm::RecordActionExecute() {
    const std::int32_t id = TakeSelectedService();
    if (id == 0 || !ConfirmRetune(control_, id)) {
        return;
    }
    if (RecordManager) {
        RecordManager->ToggleRecording(id);
    }
}

void TFullListForm::FavouriteActionExecute() {
    const int row = SelectedRow();
    if (row < 1) {
        return;
    }
    QTableWidgetItem* item = FullStringGrid->item(row - 1, FavouriteColumn);
    const bool on = item->data(kObjectRole).toInt() == 0;
    item->setData(kObjectRole, on ? 1 : 0);
    settings_.SetFavourite(RowService(row), on);
}

void TFullListForm::PropertiesActionExecute() {
    const std::int32_t id = SelectedService();
    if (id != 0) {
        TServicePropertiesForm::ShowProperties(id, tables_, settings_, parentWidget());
    }
}

void TFullListForm::ResetWindowSizes() {
    sizes_.Reset();
}

void TFullListForm::PopupAt(int row, const QPoint& at) {
    SelectRow(row);
    FullListPopupMenu->exec(at);
}

int TFullListForm::RowCount() const {
    return FullStringGrid->rowCount();
}

int TFullListForm::SelectedRow() const {
    const int row = FullStringGrid->currentRow();
    return row >= 0 ? row + 1 : 0;
}

void TFullListForm::SelectRow(int row) {
    if (row >= 1 && row <= RowCount()) {
        FullStringGrid->setCurrentCell(row - 1, ServiceColumn);
        FullStringGrid->selectRow(row - 1);
    }
}

int TFullListForm::TopRow() const {
    const int row = FullStringGrid->rowAt(0);
    return row >= 0 ? row + 1 : 0;
}

std::int32_t TFullListForm::RowService(int row) const {
    const QTableWidgetItem* item =
        row >= 1 && row <= RowCount() ? FullStringGrid->item(row - 1, GenreColumn) : nullptr;
    return item ? item->data(kObjectRole).toInt() : 0;
}

bool TFullListForm::RowRecording(int row) const {
    return FullStringGrid->item(row - 1, RecordColumn)->data(kObjectRole).toInt() == 1;
}

bool TFullListForm::RowFavourite(int row) const {
    return FullStringGrid->item(row - 1, FavouriteColumn)->data(kObjectRole).toInt() == 1;
}

bool TFullListForm::RowGreyed(int row) const {
    return FullStringGrid->item(row - 1, IconColumn)->data(kGreyRole).toBool();
}

QString TFullListForm::RowText(int row, int column) const {
    return FullStringGrid->item(row - 1, column)->text();
}

QPixmap TFullListForm::CellPicture(const QModelIndex& index, bool selected) const {
    const int object = index.data(kObjectRole).toInt();
    switch (index.column()) {
        case IconColumn:
            return iconPixmaps_.value(object);
        case RecordColumn:
            return object == 1 ? TheImageList.value(selected ? 5 : 3) : QPixmap();
        case FavouriteColumn:
            return object == 1 ? TheImageList.value(selected ? 6 : 4) : QPixmap();
        default:
            return {};
    }
}

bool TFullListForm::HandleKeyPress(QKeyEvent* event) {
    if (closing_ || !NoModifiers(event)) {
        return false;
    }
    switch (event->key()) {
        case Qt::Key_Space:
            PreviewAction->trigger();
            return true;
        case Qt::Key_Escape:
        case Qt::Key_W:
            close();
            return true;
        case Qt::Key_Menu:
        case Qt::Key_F10:
            // Opened on key up.
            return true;
        default:
            return false;
    }
}

bool TFullListForm::HandleKeyRelease(QKeyEvent* event) {
    if (closing_ || event->isAutoRepeat() || !NoModifiers(event) ||
        (event->key() != Qt::Key_Menu && event->key() != Qt::Key_F10) || SelectedRow() < 1) {
        return false;
    }
    const int y =
        FullStringGrid->geometry().top() + (SelectedRow() - TopRow()) * kSizerSize + kKeyMenuY;
    PopupAt(SelectedRow(), frameGeometry().topLeft() + QPoint(kKeyMenuX, y));
    return true;
}

bool TFullListForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FullStringGrid) {
        if (event->type() == QEvent::KeyPress && HandleKeyPress(static_cast<QKeyEvent*>(event))) {
            return true;
        }
        if (event->type() == QEvent::KeyRelease &&
            HandleKeyRelease(static_cast<QKeyEvent*>(event))) {
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFullListForm::keyPressEvent(QKeyEvent* event) {
    if (!HandleKeyPress(event)) {
        QWidget::keyPressEvent(event);
    }
}

void TFullListForm::keyReleaseEvent(QKeyEvent* event) {
    if (!HandleKeyRelease(event)) {
        QWidget::keyReleaseEvent(event);
    }
}

void TFullListForm::contextMenuEvent(QContextMenuEvent* event) {
    WindowMenu->exec(event->globalPos());
}

void TFullListForm::closeEvent(QCloseEvent* event) {
    if (!closing_) {
        closing_ = true;
        DisplayTimer.stop();
        settings_.AddRecent(control_.CurrentService());
        sizes_.Store();
        settings_.WriteString(Setting::ListTop,
                              tables_.GetServiceKey(RowService(TopRow()), true, u':'));
        settings_.WriteString(Setting::ListSel,
                              tables_.GetServiceKey(SelectedService(), true, u':'));
    }
    event->accept();
}

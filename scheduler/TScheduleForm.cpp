#include "scheduler/TScheduleForm.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "platform/Dialogs.h"
#include "platform/Formats.h"
#include "scheduler/ScheduleTime.h"
#include "scheduler/TScheduleEventForm.h"
#include "scheduler/TTimerManager.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"
#include "shell/GuiImages.h"
#include "windows/TFullListDelegate.h"

TScheduleForm* ScheduleForm = nullptr;

namespace {

constexpr int kDayWidth = 12;
constexpr int kSizerSize = 16;
constexpr int kMargin = 4;
constexpr QSize kMinimumSize(426, 128);
constexpr QSize kDefaultSize(442, 300);
// Monday first, as the columns stand; the bit of each in the event's mask (bit 0 Sunday).
constexpr int kDayBits[] = {1, 2, 3, 4, 5, 6, 0};
const QString kDayMark = QStringLiteral("X");

DialogResult Ask(const char* text, DialogButtons buttons) {
    return Dialogs::Instance().MessageBox(DialogKind::Confirmation, QString::fromLatin1(text),
                                          buttons);
}

// The mark of a recording day: a cross, 12 x 12 pixels.
QPixmap DayMarkPicture() {
    QPixmap pixmap(kDayWidth, kDayWidth);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 2));
    painter.drawLine(QPointF(2.5, 2.5), QPointF(9.5, 9.5));
    painter.drawLine(QPointF(9.5, 2.5), QPointF(2.5, 9.5));
    return pixmap;
}

QList<int> DefaultColumnWidths() {
    QList<int> widths(7, kDayWidth);
    widths << 32 << 32 << 32 << 88 << 116;
    return widths;
}

}  // namespace

TScheduleForm* TScheduleForm::ShowSchedule(TServiceTablesWrapper& tables,
                                           TSettingsWrapper& settings, QWidget* owner) {
    if (ScheduleForm) {
        ScheduleForm->show();
        ScheduleForm->raise();
        ScheduleForm->activateWindow();
        return ScheduleForm;
    }
    // A new window comes up in front by itself.
    auto* form = new TScheduleForm(tables, settings, owner);
    form->show();
    return form;
}

TScheduleForm::TScheduleForm(TServiceTablesWrapper& tables, TSettingsWrapper& settings,
                             QWidget* owner)
    : QWidget(owner, Qt::Window),
      TheStringGrid(new QTableWidget(0, ColumnCount, this)),
      tables_(tables),
      settings_(settings),
      // Saves from here must reach whatever wakes the machine, as the timer's own schedule's do.
      schedule_(tables, TimerManager ? TimerManager->Wakeup() : TWakeupSink::None()),
      checker_(schedule_, tables, false),
      sizes_(this, TheStringGrid, settings, Setting::ScheduleSize, kDefaultSize,
             DefaultColumnWidths()),
      XImage(DayMarkPicture()) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("TScheduleForm"));
    setWindowTitle(QStringLiteral("Tunora - Schedule"));
    setWindowIcon(GuiImages::MainIcon());
    setMinimumSize(kMinimumSize);

    EditEvent = [this](TScheduleEvent& event) {
        return TScheduleEventForm::EditEvent(event, tables_, this);
    };

    TheStringGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    TheStringGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    TheStringGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TheStringGrid->verticalHeader()->hide();
    TheStringGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    TheStringGrid->verticalHeader()->setDefaultSectionSize(kSizerSize);
    TheStringGrid->setWordWrap(false);
    TheStringGrid->horizontalHeader()->setMinimumSectionSize(kDayWidth);
    TheStringGrid->horizontalHeader()->setHighlightSections(false);
    TheStringGrid->setItemDelegate(new TFullListDelegate(
        [this](const QModelIndex& index, bool) {
            return index.data().toString() == kDayMark ? XImage : QPixmap();
        },
        [](int column) { return column <= SundayColumn; }, TheStringGrid));
    const QStringList headers{
        QStringLiteral("M"),      QStringLiteral("T"),       QStringLiteral("W"),
        QStringLiteral("T"),      QStringLiteral("F"),       QStringLiteral("S"),
        QStringLiteral("S"),      QStringLiteral("Date"),    QStringLiteral("Time"),
        QStringLiteral("Length"), QStringLiteral("Service"), QStringLiteral("Filename")};
    const QFont small(QStringLiteral("Arial"), 7);
    for (int c = 0; c < ColumnCount; ++c) {
        auto* item = new QTableWidgetItem(headers[c]);
        if (c <= SundayColumn) {
            item->setFont(small);
            TheStringGrid->horizontalHeader()->setSectionResizeMode(c, QHeaderView::Fixed);
        }
        TheStringGrid->setHorizontalHeaderItem(c, item);
    }

    AddButton = AddButtonFor(QStringLiteral("&Add"), &TScheduleForm::AddEventActionExecute);
    EditButton = AddButtonFor(QStringLiteral("&Edit"), &TScheduleForm::EditEventActionExecute);
    DeleteButton =
        AddButtonFor(QStringLiteral("&Delete"), &TScheduleForm::DeleteEventActionExecute);
    SaveButton = AddButtonFor(QStringLiteral("&Save"), &TScheduleForm::SaveActionExecute);
    CancelButton = AddButtonFor(QStringLiteral("&Cancel"), &TScheduleForm::CancelActionExecute);
    ResetSizesAction = sizes_.MakeResetAction(this);
    connect(ResetSizesAction, &QAction::triggered, this, [this] { ForceDayColumns(); });
    WindowMenu = new QMenu(this);
    WindowMenu->addAction(ResetSizesAction);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(kMargin);
    for (QPushButton* button : {AddButton, EditButton, DeleteButton}) {
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    buttons->addWidget(SaveButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addWidget(TheStringGrid, 1);
    layout->addLayout(buttons);

    connect(TheStringGrid, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { GridDoubleClicked(row + 1); });
    connect(TheStringGrid->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this,
            [this](int) { GridDoubleClicked(0); });

    sizes_.Restore();
    ForceDayColumns();
    FillGrid();
    if (!checker_.BuildWeekly() || !checker_.CheckOneOffs()) {
        Dialogs::Instance().MessageBox(
            DialogKind::Warning,
            QStringLiteral("The current schedule contains simultaneous recordings on different "
                           "multiplexes.\n\rOne of the recordings will fail."),
            DialogButtons::Ok);
    }
    OfferToDeletePastEvents();
    // Only a window that was made completely is registered (its destructor clears it).
    ScheduleForm = this;
}

TScheduleForm::~TScheduleForm() {
    if (ScheduleForm == this) {
        ScheduleForm = nullptr;
    }
}

QPushButton* TScheduleForm::AddButtonFor(const QString& caption, void (TScheduleForm::*execute)()) {
    auto* button = new QPushButton(caption, this);
    connect(button, &QPushButton::clicked, this,
            [this, execute] { Dialogs::ShowFailures([this, execute] { (this->*execute)(); }); });
    return button;
}

void TScheduleForm::ForceDayColumns() {
    for (int c = MondayColumn; c <= SundayColumn; ++c) {
        TheStringGrid->setColumnWidth(c, kDayWidth);
    }
}

void TScheduleForm::FillGrid() {
    Q_ASSERT(QThread::currentThread() == thread());
    schedule_.LoadIfChanged();
    schedule_.SortEvents();
    const int count = schedule_.Count();
    // Like any grid, it always has a selected row: the same place, or the last row left.
    const int selected = std::max(SelectedRow(), 1);
    TheStringGrid->clearContents();
    // An empty schedule keeps one blank row, so the grid never looks like a bare header.
    TheStringGrid->setRowCount(count > 0 ? count : 1);
    for (int i = 0; i < count; ++i) {
        const TScheduleEvent& event = *schedule_.GetEvent(i);
        for (int c = MondayColumn; c <= SundayColumn; ++c) {
            const bool on = (event.Days & (1u << kDayBits[c])) != 0;
            TheStringGrid->setItem(i, c, new QTableWidgetItem(on ? kDayMark : QString()));
        }
        const QString date =
            event.IsWeekly() ? QString() : FormatDate(DateOfDay(WholeDays(event.Date)));
        TheStringGrid->setItem(i, DateColumn, new QTableWidgetItem(date));
        TheStringGrid->setItem(i, TimeColumn, new QTableWidgetItem(MinutesText(event.StartMinute)));
        TheStringGrid->setItem(i, LengthColumn,
                               new QTableWidgetItem(MinutesText(event.LengthMinutes)));
        TheStringGrid->setItem(i, ServiceColumn,
                               new QTableWidgetItem(tables_.GetServiceLabel(event.ServiceID)));
        TheStringGrid->setItem(i, FilenameColumn,
                               new QTableWidgetItem(QFileInfo(event.FileName).fileName()));
    }
    SelectRow(std::min(selected, RowCount()));
}

void TScheduleForm::OfferToDeletePastEvents() {
    schedule_.SortEvents();
    QList<int> past;
    schedule_.GetPastEvents(past, static_cast<double>(DayOfDate(QDate::currentDate())));
    if (past.isEmpty() || Ask("Do you want do delete scheduled events that have passed?",
                              DialogButtons::YesNo) != DialogResult::Yes) {
        return;
    }
    for (qsizetype i = past.size() - 1; i >= 0; --i) {
        schedule_.DeleteEvent(past[i]);
    }
    FillGrid();
}

bool TScheduleForm::PassesClashTest(const TScheduleEvent& candidate) {
    checker_.BuildWeekly();
    return checker_.CheckEvent(false, candidate.ServiceID, candidate.Days, candidate.Date,
                               candidate.StartMinute, candidate.LengthMinutes) &&
           checker_.CheckAgainstOneOffs(candidate.ServiceID, candidate.Days, candidate.Date,
                                        candidate.StartMinute, candidate.LengthMinutes);
}

bool TScheduleForm::EditUntilAccepted(TScheduleEvent& event) {
    for (;;) {
        if (!EditEvent(event)) {
            return false;
        }
        if (PassesClashTest(event)) {
            return true;
        }
        Dialogs::Instance().MessageBox(
            DialogKind::Error, QStringLiteral("This event clashes with the current scheule."),
            DialogButtons::Ok);
    }
}

void TScheduleForm::AddEventActionExecute() {
    auto event = std::make_unique<TScheduleEvent>();
    if (!EditUntilAccepted(*event)) {
        return;
    }
    schedule_.AddEvent(std::move(event));
    FillGrid();
    modified_ = true;
}

void TScheduleForm::EditEventActionExecute() {
    // The blank row of an empty schedule holds no event.
    const int index = SelectedRow() - 1;
    if (!schedule_.GetEvent(index)) {
        return;
    }
    // Out of the schedule while edited, so it cannot clash with itself.
    std::unique_ptr<TScheduleEvent> taken = schedule_.DeleteEvent(index);
    auto copy = std::make_unique<TScheduleEvent>();
    copy->Assign(*taken);
    FillGrid();
    bool accepted = false;
    try {
        accepted = EditUntilAccepted(*copy);
    } catch (...) {
        schedule_.AddEvent(std::move(taken));
        FillGrid();
        throw;
    }
    schedule_.AddEvent(accepted ? std::move(copy) : std::move(taken));
    FillGrid();
    modified_ = modified_ || accepted;
}

void TScheduleForm::DeleteEventActionExecute() {
    const int index = SelectedRow() - 1;
    if (!schedule_.GetEvent(index) ||
        Ask("Do you want to delete this event?", DialogButtons::OkCancel) != DialogResult::Ok) {
        return;
    }
    schedule_.DeleteEvent(index);
    FillGrid();
    modified_ = true;
}

void TScheduleForm::SaveActionExecute() {
    if (!settings_.ReadBool(Setting::TimerEnabled) &&
        Ask("Timer is currently dissabled.\n\rDo you wish to enable it?", DialogButtons::YesNo) ==
            DialogResult::Yes) {
        // A user who may not write the machine-wide settings is told so; the schedule is
        // saved all the same.
        Dialogs::ShowFailures([this] { settings_.WriteBool(Setting::TimerEnabled, true); });
    }
    schedule_.SortEvents();
    schedule_.Save();
    close();
}

void TScheduleForm::CancelActionExecute() {
    if (modified_ && Ask("Do you want to loose changes to the schedule?", DialogButtons::YesNo) !=
                         DialogResult::Yes) {
        return;
    }
    schedule_.Reload();
    close();
}

void TScheduleForm::ResetWindowSizes() {
    sizes_.Reset();
    ForceDayColumns();
}

void TScheduleForm::GridDoubleClicked(int row) {
    if (row < 1 || closing_) {
        return;
    }
    SelectRow(row);
    Dialogs::ShowFailures([this] { EditEventActionExecute(); });
}

int TScheduleForm::RowCount() const {
    return TheStringGrid->rowCount();
}

int TScheduleForm::SelectedRow() const {
    const int row = TheStringGrid->currentRow();
    return row >= 0 ? row + 1 : 0;
}

void TScheduleForm::SelectRow(int row) {
    if (row >= 1 && row <= RowCount()) {
        TheStringGrid->setCurrentCell(row - 1, DateColumn);
        TheStringGrid->selectRow(row - 1);
    }
}

QString TScheduleForm::RowText(int row, int column) const {
    const QTableWidgetItem* item = TheStringGrid->item(row - 1, column);
    return item ? item->text() : QString();
}

void TScheduleForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TScheduleForm::contextMenuEvent(QContextMenuEvent* event) {
    WindowMenu->exec(event->globalPos());
}

void TScheduleForm::closeEvent(QCloseEvent* event) {
    if (!closing_) {
        closing_ = true;
        Dialogs::ShowFailures([this] { sizes_.Store(); });
    }
    event->accept();
}

#include "scheduler/TScheduleEventForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <exception>

#include "platform/Dialogs.h"
#include "recording/TRecordManager.h"
#include "scheduler/ScheduleTime.h"
#include "scheduler/TScheduleEvent.h"
#include "services/TListEntry.h"
#include "services/TServiceTablesWrapper.h"
#include "shell/GuiImages.h"

namespace {

// Monday first, as the boxes stand; the bit of each in the event's mask (bit 0 Sunday).
const char* const kDayCaptions[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr int kDayBits[] = {1, 2, 3, 4, 5, 6, 0};
constexpr int kToStart = 0;
constexpr int kToEnd = 1;
constexpr std::uint8_t kAppendAtEnd = 1;
constexpr std::uint8_t kAppendAtStart = 2;

void Refuse(const char* text) {
    Dialogs::Instance().MessageBox(DialogKind::Error, QString::fromLatin1(text), DialogButtons::Ok);
}

// A name typed nowhere but taken from a file or a dialog may still carry a line break, which
// would split the event's line in "Schedule.csv".
bool HasControlCharacter(const QString& text) {
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control) {
            return true;
        }
    }
    return false;
}

QComboBox* AppendCombo(QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->addItems({QStringLiteral("To Start"), QStringLiteral("To End")});
    combo->setCurrentIndex(kToEnd);
    combo->setEnabled(false);
    return combo;
}

void LoadAppend(QCheckBox* box, QComboBox* combo, std::uint8_t mode) {
    box->setChecked(mode > 0);
    combo->setCurrentIndex(mode == kAppendAtStart ? kToStart : kToEnd);
}

std::uint8_t StoredAppend(const QCheckBox* box, const QComboBox* combo) {
    if (!box->isChecked()) {
        return 0;
    }
    return combo->currentIndex() == kToStart ? kAppendAtStart : kAppendAtEnd;
}

}  // namespace

TScheduleEventForm::TScheduleEventForm(const TServiceTablesWrapper& tables, QWidget* parent)
    : QDialog(parent),
      DateDateTimePicker(new QDateEdit(QDate::currentDate(), this)),
      TimeEdit(new QLineEdit(QStringLiteral("00:00"), this)),
      LengthEdit(new QLineEdit(QStringLiteral("00:00"), this)),
      ServiceComboBox(new QComboBox(this)),
      FilenameEdit(new QLineEdit(this)),
      BrowseButton(new QPushButton(QStringLiteral("&Browse..."), this)),
      AppendDateCheckBox(new QCheckBox(QStringLiteral("Append Date"), this)),
      AppendDateComboBox(AppendCombo(this)),
      AppendTimeCheckBox(new QCheckBox(QStringLiteral("Append Time"), this)),
      AppendTimeComboBox(AppendCombo(this)),
      OKButton(new QPushButton(QStringLiteral("&OK"), this)),
      CancelButton(new QPushButton(QStringLiteral("&Cancel"), this)),
      tables_(tables) {
    Q_ASSERT(QThread::currentThread() == QCoreApplication::instance()->thread());
    setWindowTitle(QStringLiteral("Tunora - Schedule Event"));
    setWindowIcon(GuiImages::MainIcon());

    auto* days = new QHBoxLayout;
    for (const char* caption : kDayCaptions) {
        auto* box = new QCheckBox(QString::fromLatin1(caption), this);
        connect(box, &QCheckBox::toggled, this, [this] { UpdateDateEnabled(); });
        DayBoxes.append(box);
        days->addWidget(box);
    }
    DateDateTimePicker->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    DateDateTimePicker->setCalendarPopup(true);
    FilenameEdit->setReadOnly(true);

    TListEntries services;
    tables_.ListServices(services, u'A', true, 1);
    for (const TListEntry& entry : services) {
        ServiceComboBox->addItem(entry.Text, QVariant::fromValue<qint64>(entry.Object));
    }
    ServiceComboBox->setCurrentIndex(-1);

    auto* file = new QHBoxLayout;
    file->addWidget(FilenameEdit, 1);
    file->addWidget(BrowseButton);
    auto* append = new QGridLayout;
    append->addWidget(AppendDateCheckBox, 0, 0);
    append->addWidget(AppendDateComboBox, 0, 1);
    append->addWidget(AppendTimeCheckBox, 1, 0);
    append->addWidget(AppendTimeComboBox, 1, 1);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Date"), DateDateTimePicker);
    form->addRow(QStringLiteral("Time"), TimeEdit);
    form->addRow(QStringLiteral("Length"), LengthEdit);
    form->addRow(QStringLiteral("Service"), ServiceComboBox);
    form->addRow(QStringLiteral("Filename"), file);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(days);
    layout->addLayout(form);
    layout->addLayout(append);
    layout->addLayout(buttons);

    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this,
            [this] { Dialogs::ShowFailures([this] { OKButtonClick(); }); });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(BrowseButton, &QPushButton::clicked, this,
            [this] { Dialogs::ShowFailures([this] { BrowseButtonClick(); }); });
    connect(TimeEdit, &QLineEdit::editingFinished, this, [this] { NormaliseTimes(); });
    connect(LengthEdit, &QLineEdit::editingFinished, this, [this] { NormaliseTimes(); });
    connect(AppendDateCheckBox, &QCheckBox::toggled, AppendDateComboBox, &QWidget::setEnabled);
    connect(AppendTimeCheckBox, &QCheckBox::toggled, AppendTimeComboBox, &QWidget::setEnabled);
}

bool TScheduleEventForm::EditEvent(TScheduleEvent& event, const TServiceTablesWrapper& tables,
                                   QWidget* parent) {
    TScheduleEventForm form(tables, parent);
    form.LoadFromEvent(event);
    if (form.exec() != QDialog::Accepted) {
        return false;
    }
    form.StoreToEvent(event);
    return true;
}

void TScheduleEventForm::LoadFromEvent(const TScheduleEvent& event) {
    for (int i = 0; i < DayBoxes.size(); ++i) {
        DayBoxes[i]->setChecked((event.Days & (1u << kDayBits[i])) != 0);
    }
    TimeEdit->setText(MinutesText(event.StartMinute));
    DateDateTimePicker->setDate(event.Date == 0 ? QDate::currentDate()
                                                : DateOfDay(WholeDays(event.Date)));
    LengthEdit->setText(MinutesText(event.LengthMinutes));
    SelectService(event.ServiceID);
    FilenameEdit->setText(event.FileName);
    LoadAppend(AppendDateCheckBox, AppendDateComboBox, event.AppendDate);
    LoadAppend(AppendTimeCheckBox, AppendTimeComboBox, event.AppendTime);
    UpdateDateEnabled();
}

void TScheduleEventForm::StoreToEvent(TScheduleEvent& event) const {
    std::uint8_t days = 0;
    for (int i = 0; i < DayBoxes.size(); ++i) {
        if (DayBoxes[i]->isChecked()) {
            days |= static_cast<std::uint8_t>(1u << kDayBits[i]);
        }
    }
    event.Days = days;
    event.Date = static_cast<double>(DayOfDate(DateDateTimePicker->date()));
    event.StartMinute = TimeMinutes().value_or(-1);
    event.LengthMinutes = LengthMinutes().value_or(0);
    event.ServiceID = SelectedService();
    event.FileName = FilenameEdit->text();
    event.AppendDate = StoredAppend(AppendDateCheckBox, AppendDateComboBox);
    event.AppendTime = StoredAppend(AppendTimeCheckBox, AppendTimeComboBox);
}

bool TScheduleEventForm::OKButtonClick() {
    NormaliseTimes();
    const std::optional<std::int32_t> time = TimeMinutes();
    if (!time || *time < 0 || *time >= kMinutesPerDay) {
        Refuse("Please enter a valid time.");
        return false;
    }
    const std::optional<std::int32_t> length = LengthMinutes();
    if (!length || *length < 1) {
        Refuse("Please enter a valid length.");
        return false;
    }
    if (SelectedService() == 0) {
        Refuse("Please select a service to record.");
        return false;
    }
    if (FilenameEdit->text().isEmpty()) {
        BrowseButtonClick();
    }
    if (FilenameEdit->text().isEmpty() || HasControlCharacter(FilenameEdit->text())) {
        Refuse("Please enter a valid filename.");
        return false;
    }
    if (DateDateTimePicker->isEnabled() && QDate::currentDate() > DateDateTimePicker->date()) {
        Dialogs::Instance().MessageBox(
            DialogKind::Warning, QStringLiteral("This event is in the past."), DialogButtons::Ok);
    }
    accept();
    return true;
}

void TScheduleEventForm::BrowseButtonClick() {
    if (!RecordManager) {
        return;
    }
    QString suggested;
    if (FilenameEdit->text().isEmpty()) {
        suggested = TRecordManager::DefaultFileName(tables_.GetServiceLabel(SelectedService()));
    }
    const QString chosen = RecordManager->ChooseRecordingFile(suggested);
    if (!chosen.isEmpty()) {
        FilenameEdit->setText(chosen);
    }
}

void TScheduleEventForm::NormaliseTimes() {
    // Text beyond 32 bits stays as typed, and OK refuses it.
    if (const auto time = TimeMinutes()) {
        TimeEdit->setText(MinutesText(*time));
    }
    if (const auto length = LengthMinutes()) {
        LengthEdit->setText(MinutesText(*length));
    }
}

void TScheduleEventForm::UpdateDateEnabled() {
    bool anyDay = false;
    for (const QCheckBox* box : DayBoxes) {
        anyDay = anyDay || box->isChecked();
    }
    DateDateTimePicker->setEnabled(!anyDay);
}

std::optional<std::int32_t> TScheduleEventForm::TimeMinutes() const {
    return MinutesFromText(TimeEdit->text(), true);
}

std::optional<std::int32_t> TScheduleEventForm::LengthMinutes() const {
    return MinutesFromText(LengthEdit->text(), false);
}

std::int32_t TScheduleEventForm::SelectedService() const {
    const int index = ServiceComboBox->currentIndex();
    return index >= 0 ? static_cast<std::int32_t>(ServiceComboBox->itemData(index).toLongLong())
                      : 0;
}

void TScheduleEventForm::SelectService(std::int32_t serviceId) {
    ServiceComboBox->setCurrentIndex(
        serviceId == 0 ? -1 : ServiceComboBox->findData(QVariant::fromValue<qint64>(serviceId)));
}

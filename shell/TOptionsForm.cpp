#include "shell/TOptionsForm.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "Version.h"
#include "http/THTTPServerManager.h"
#include "platform/Dialogs.h"
#include "platform/RegistryError.h"
#include "receiver/TMainControl.h"
#include "recording/CodecAvailability.h"
#include "scheduler/TScheduleForm.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"
#include "shell/GuiImages.h"
#include "shell/TScanFrameWidget.h"
#include "shell/TTunoraWindow.h"

TOptionsForm* OptionsForm = nullptr;

namespace {

const QString kWebSite = QString::fromLatin1(TunoraWebSite);
const QString kContactAddress = QStringLiteral("support@tunora.org");
constexpr int kClientWidth = 418;
constexpr int kClientHeight = 273;
// Stored when the scroll speed text is not a number; shown for a stored value of 0 or less.
constexpr int kDefaultScrollSpeed = 30;
constexpr int kSmoothJump = 1;
constexpr int kCoarseJump = 4;
// "Smooth Scroll" is ticked for any stored jump below this.
constexpr int kSmoothBelow = 2;
constexpr int kMaxRecentCount = 16;
constexpr int kBitRates[] = {8,   16,  24,  32,  40,  48,  56,  64,  80,  96,  112, 128,
                             144, 160, 176, 192, 224, 256, 288, 320, 352, 384, 416, 448};
constexpr int kSampleRates[] = {16000, 22050, 24000, 32000, 44100, 48000};
const QString kDefaultEntry = QStringLiteral("(Default)");

// The text as an integer, `otherwise` when it is not one.
int NumberOr(const QString& text, int otherwise) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : otherwise;
}

// "(Default)" for 0, else the first entry from the top whose number is at least `value`, else
// the last; "(Default)" counts as 0.
int IndexAtLeast(const QComboBox* combo, int value) {
    for (int i = 0; i < combo->count(); ++i) {
        if (NumberOr(combo->itemText(i), 0) >= value) {
            return i;
        }
    }
    return combo->count() - 1;
}

QString Link(const QString& target, const QString& text) {
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(target, text.toHtmlEscaped());
}

QLabel* LinkLabel(const QString& html, QWidget* parent) {
    auto* label = new QLabel(html, parent);
    label->setTextFormat(Qt::RichText);
    label->setWordWrap(true);
    QObject::connect(label, &QLabel::linkActivated, label,
                     [](const QString& target) { QDesktopServices::openUrl(QUrl(target)); });
    return label;
}

QLabel* PictureLabel(const QString& gifName, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(QPixmap::fromImage(GuiImages::Gif(gifName)));
    label->setAlignment(Qt::AlignCenter);
    return label;
}

}  // namespace

TOptionsForm* TOptionsForm::ShowOptions(TServiceTablesWrapper& tables, TSettingsWrapper& settings,
                                        TMainControl& control, QWidget* owner) {
    if (!OptionsForm) {
        auto* form = new TOptionsForm(tables, settings, control, owner);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            form->move(screen->availableGeometry().center() - form->rect().center());
        }
    }
    OptionsForm->show();
    OptionsForm->raise();
    OptionsForm->activateWindow();
    return OptionsForm;
}

TOptionsForm::TOptionsForm(TServiceTablesWrapper& tables, TSettingsWrapper& settings,
                           TMainControl& control, QWidget* owner)
    : QWidget(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint),
      tables_(tables),
      settings_(settings),
      control_(control) {
    Q_ASSERT(QThread::currentThread() == thread());
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Tunora - Options"));
    // 1. Window icon.
    setWindowIcon(GuiImages::MainIcon());

    // 2. The item of the window's own menu, shown bold as the menu's default.
    WindowMenu = new QMenu(this);
    WhatItThisAction = WindowMenu->addAction(QStringLiteral("&What it this then?"));
    WindowMenu->addSeparator();
    WindowMenu->setDefaultAction(WhatItThisAction);
    connect(WhatItThisAction, &QAction::triggered, this,
            [this] { SystemCommand(kWhatItThisCommand); });

    // 3, 4. The pages, with the pictures and the formats the codec libraries allow.
    PageControl = new QTabWidget(this);
    PageControl->addTab(MakeAboutPage(), QStringLiteral("About"));
    PageControl->addTab(MakeBugPage(), QStringLiteral("Bug"));
    PageControl->addTab(MakeGeneralPage(), QStringLiteral("General"));
    PageControl->addTab(MakeRecordPage(), QStringLiteral("Record"));
    PageControl->addTab(MakeTimerPage(), QStringLiteral("Timer"));
    PageControl->addTab(MakeHTTPServerPage(), QStringLiteral("HTTP Server"));
    PageControl->addTab(MakeFrequencyPage(), QStringLiteral("Frequency"));
    PageControl->addTab(MakeScanPage(), QStringLiteral("Scan"));
    PageControl->setTabVisible(BugPage, false);
    PageControl->setCurrentIndex(AboutPage);
    connect(PageControl, &QTabWidget::currentChanged, this, &TOptionsForm::PageChanging);

    SaveButton = new QPushButton(QStringLiteral("&Save"), this);
    CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
    ApplyButton = new QPushButton(QStringLiteral("&Apply"), this);
    connect(SaveButton, &QPushButton::clicked, this, &TOptionsForm::SaveButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TOptionsForm::CancelButtonClick);
    connect(ApplyButton, &QPushButton::clicked, this, &TOptionsForm::ApplyButtonClick);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(SaveButton);
    buttons->addWidget(CancelButton);
    buttons->addWidget(ApplyButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl, 1);
    layout->addLayout(buttons);

    // Escape closes the window whichever control has the focus.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    // Every page's tab in view: the desktop's font may be wider than the one the width suits.
    const QMargins margins = layout->contentsMargins();
    const int width = std::max(kClientWidth, PageControl->tabBar()->sizeHint().width() +
                                                 margins.left() + margins.right() + 4);
    resize(width, kClientHeight);
    setMinimumSize(width, kClientHeight);

    // 5. The stored settings and the ensembles.
    ShowSettings();
    FillFrequencyList();

    busyTimer_.setInterval(kBusyInterval);
    connect(&busyTimer_, &QTimer::timeout, this, &TOptionsForm::FollowBusy);
    busyTimer_.start();
    FollowBusy();
    OptionsForm = this;
}

TOptionsForm::~TOptionsForm() {
    OptionsForm = nullptr;
}

QWidget* TOptionsForm::MakeAboutPage() {
    auto* page = new QWidget;
    auto* panel = new QWidget(page);
    panel->setAutoFillBackground(true);
    QPalette white = panel->palette();
    white.setColor(QPalette::Window, Qt::white);
    panel->setPalette(white);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->addWidget(PictureLabel(QStringLiteral("TUNORA"), panel));

    auto* version = new QLabel(QStringLiteral("Version ") + QLatin1String(TunoraVersion), page);
    version->setAlignment(Qt::AlignCenter);
    auto* site = LinkLabel(Link(kWebSite, kWebSite), page);
    site->setAlignment(Qt::AlignCenter);
    auto* mail =
        LinkLabel(Link(QStringLiteral("mailto:") + kContactAddress, kContactAddress), page);
    mail->setAlignment(Qt::AlignCenter);

    auto* layout = new QVBoxLayout(page);
    layout->addStretch(1);
    layout->addWidget(panel, 0, Qt::AlignHCenter);
    layout->addWidget(version);
    layout->addWidget(site);
    layout->addWidget(mail);
    layout->addStretch(1);
    return page;
}

QWidget* TOptionsForm::MakeBugPage() {
    auto* page = new QWidget;
    const QString mailto = QStringLiteral("mailto:") + kContactAddress;
    auto* found = LinkLabel(
        Link(mailto, QStringLiteral("Well done, you have found a bug in the software.")), page);
    auto* invite = LinkLabel(
        Link(mailto, QStringLiteral("Please send an e-mail to %1 and tell us how you found it.")
                         .arg(kContactAddress)),
        page);
    auto* texts = new QVBoxLayout;
    texts->addStretch(1);
    texts->addWidget(found);
    texts->addWidget(invite);
    texts->addStretch(1);
    auto* layout = new QHBoxLayout(page);
    layout->addWidget(PictureLabel(QStringLiteral("BUG"), page));
    layout->addLayout(texts, 1);
    return page;
}

QWidget* TOptionsForm::MakeGeneralPage() {
    auto* page = new QWidget;
    PlayOnStartupCheck = new QCheckBox(QStringLiteral("Resume play on startup"), page);
    ShowAudioInfoCheck = new QCheckBox(QStringLiteral("Show audio stream information"), page);
    ChangeTaskBarIconCheck = new QCheckBox(QStringLiteral("Change Task Bar icon"), page);
    QuickMenuCombo = new QComboBox(page);
    QuickMenuCombo->addItems({QStringLiteral("Favourites & Recents"), QStringLiteral("Favourites"),
                              QStringLiteral("Recents")});
    RecentCountCombo = new QComboBox(page);
    RecentCountCombo->addItem(QStringLiteral("Disabled"));
    for (int count = 1; count <= kMaxRecentCount; ++count) {
        RecentCountCombo->addItem(QString::number(count));
    }
    ScrollSpeedCombo = new QComboBox(page);
    ScrollSpeedCombo->setEditable(true);
    for (int speed = 10; speed <= 80; speed += 10) {
        ScrollSpeedCombo->addItem(QString::number(speed));
    }
    SmoothScrollCheck = new QCheckBox(QStringLiteral("Smooth Scroll"), page);

    auto* layout = new QFormLayout(page);
    layout->addRow(PlayOnStartupCheck);
    layout->addRow(ShowAudioInfoCheck);
    layout->addRow(ChangeTaskBarIconCheck);
    layout->addRow(QStringLiteral("Quick menu shows"), QuickMenuCombo);
    layout->addRow(QStringLiteral("Recent count"), RecentCountCombo);
    layout->addRow(QStringLiteral("DLS Scroll speed"), ScrollSpeedCombo);
    layout->addRow(SmoothScrollCheck);
    return page;
}

QWidget* TOptionsForm::MakeRecordPage() {
    auto* page = new QWidget;
    ExtensionCombo = new QComboBox(page);
    ExtensionCombo->addItem(QStringLiteral("MP2"));
    if (Mp3Available()) {
        ExtensionCombo->addItem(QStringLiteral("MP3"));
    }
    if (OggAvailable()) {
        ExtensionCombo->addItem(QStringLiteral("OGG"));
    }
    if (WavAvailable()) {
        ExtensionCombo->addItem(QStringLiteral("WAV"));
    }
    BitRateCombo = new QComboBox(page);
    BitRateCombo->addItem(kDefaultEntry);
    for (const int rate : kBitRates) {
        BitRateCombo->addItem(QString::number(rate));
    }
    SampleRateCombo = new QComboBox(page);
    SampleRateCombo->addItem(kDefaultEntry);
    for (const int rate : kSampleRates) {
        SampleRateCombo->addItem(QString::number(rate));
    }
    RecoderNote = LinkLabel(QStringLiteral("More audio compression formats will be available if "
                                           "you install the Tunora recoder support files "
                                           "available from ") +
                                Link(kWebSite, kWebSite),
                            page);
    RecoderNote->setVisible(!Mp3Available() || !OggAvailable() || !WavAvailable());

    auto* layout = new QFormLayout(page);
    layout->addRow(QStringLiteral("Default record format"), ExtensionCombo);
    layout->addRow(QStringLiteral("Target bitrate"), BitRateCombo);
    layout->addRow(QStringLiteral("Target samplerate"), SampleRateCombo);
    layout->addRow(RecoderNote);
    return page;
}

QWidget* TOptionsForm::MakeTimerPage() {
    auto* page = new QWidget;
    TimerEnabledCheck = new QCheckBox(QStringLiteral("Timer enabled"), page);
    EditScheduleButton = new QPushButton(QStringLiteral("Edit Schedule"), page);
    connect(EditScheduleButton, &QPushButton::clicked, this,
            &TOptionsForm::EditScheduleButtonClick);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(TimerEnabledCheck);
    layout->addWidget(EditScheduleButton, 0, Qt::AlignLeft);
    layout->addStretch(1);
    return page;
}

QWidget* TOptionsForm::MakeHTTPServerPage() {
    auto* page = new QWidget;
    PortEdit = new QLineEdit(page);
    PasswordEdit = new QLineEdit(page);
    // Masked as "*", whatever the style's own mask character is.
    PasswordEdit->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    MaskCheck = new QCheckBox(QStringLiteral("Mask"), page);
    MaskCheck->setChecked(true);
    connect(MaskCheck, &QCheckBox::toggled, this, &TOptionsForm::MaskCheckClick);
    MaskCheckClick();
    auto* layout = new QFormLayout(page);
    layout->addRow(QStringLiteral("Server port"), PortEdit);
    layout->addRow(QStringLiteral("Network password"), PasswordEdit);
    layout->addRow(QString(), MaskCheck);
    return page;
}

QWidget* TOptionsForm::MakeFrequencyPage() {
    auto* page = new QWidget;
    FrequencyList = new QListWidget(page);
    // The lines are laid out in columns with blanks.
    FrequencyList->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    connect(FrequencyList, &QListWidget::itemChanged, this, &TOptionsForm::FrequencyItemChanged);
    SelectAllButton = new QPushButton(QStringLiteral("Select All"), page);
    SelectNoneButton = new QPushButton(QStringLiteral("Select None"), page);
    RebuildButton = new QPushButton(QStringLiteral("Rebuild >"), page);
    connect(SelectAllButton, &QPushButton::clicked, this, &TOptionsForm::SelectAllButtonClick);
    connect(SelectNoneButton, &QPushButton::clicked, this, &TOptionsForm::SelectNoneButtonClick);
    RebuildMenu = new QMenu(this);
    const QString sets[] = {QStringLiteral("UK Frequencies"), QStringLiteral("Band III && L-Band"),
                            QStringLiteral("Canada")};
    for (int set = 0; set < 3; ++set) {
        connect(RebuildMenu->addAction(sets[set]), &QAction::triggered, this,
                [this, set] { Dialogs::ShowFailures([this, set] { RebuildTable(set); }); });
    }
    connect(RebuildButton, &QPushButton::clicked, this, [this] {
        RebuildMenu->popup(RebuildButton->mapToGlobal(RebuildButton->rect().bottomRight()));
    });

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(SelectAllButton);
    buttons->addWidget(SelectNoneButton);
    buttons->addWidget(RebuildButton);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(page);
    layout->addWidget(FrequencyList, 1);
    layout->addLayout(buttons);
    return page;
}

QWidget* TOptionsForm::MakeScanPage() {
    auto* page = new QWidget;
    ScanFrame1 = new TScanFrameWidget(control_, tables_, page);
    StartButton = new QPushButton(QStringLiteral("Start"), page);
    ScanCancelButton = new QPushButton(QStringLiteral("Cancel"), page);
    ScanCancelButton->setEnabled(false);
    connect(StartButton, &QPushButton::clicked, this,
            [this] { Dialogs::ShowFailures([this] { StartButtonClick(); }); });
    connect(ScanCancelButton, &QPushButton::clicked, this,
            [this] { Dialogs::ShowFailures([this] { ScanCancelButtonClick(); }); });
    // Queued: the frame gives its notice before it reloads or saves the tables, and the list
    // must show what they hold afterwards.
    connect(&ScanFrame1->Frame(), &TScanFrame::ScanEnded, this, &TOptionsForm::ScanEnded,
            Qt::QueuedConnection);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(StartButton);
    buttons->addWidget(ScanCancelButton);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(page);
    layout->addWidget(ScanFrame1, 1);
    layout->addLayout(buttons);
    return page;
}

void TOptionsForm::ShowSettings() {
    PlayOnStartupCheck->setChecked(settings_.ReadBool(Setting::PlayOnStartup));
    ShowAudioInfoCheck->setChecked(settings_.ReadBool(Setting::ShowAudioInfo));
    ChangeTaskBarIconCheck->setChecked(settings_.ReadBool(Setting::ChangeTaskBarIcon));
    // A value without an entry shows none.
    QuickMenuCombo->setCurrentIndex(settings_.ReadInteger(Setting::QuickMenuMode));
    RecentCountCombo->setCurrentIndex(settings_.ReadInteger(Setting::RecentCount));
    const int speed = settings_.ReadInteger(Setting::ScrollSpeed);
    ScrollSpeedCombo->setCurrentText(QString::number(speed > 0 ? speed : kDefaultScrollSpeed));
    SmoothScrollCheck->setChecked(settings_.ReadInteger(Setting::ScrollJump) < kSmoothBelow);
    ExtensionCombo->setCurrentIndex(
        ExtensionCombo->findText(settings_.ReadString(Setting::DefaultExtension).toUpper()));
    BitRateCombo->setCurrentIndex(
        IndexAtLeast(BitRateCombo, settings_.ReadInteger(Setting::BitRate)));
    SampleRateCombo->setCurrentIndex(
        IndexAtLeast(SampleRateCombo, settings_.ReadInteger(Setting::SamplingFrequency)));
    ShowMachineSettings();
}

void TOptionsForm::ShowMachineSettings() {
    TimerEnabledCheck->setChecked(settings_.ReadBool(Setting::TimerEnabled));
    const int port = settings_.ReadInteger(Setting::ServerPort);
    PortEdit->setText(port > 0 ? QString::number(port) : QString());
    PasswordEdit->setText(settings_.ReadString(Setting::ServerPassword));
}

void TOptionsForm::SaveSettings() {
    // 1. Whether the server must be made again.
    const int port = NumberOr(PortEdit->text(), 0);
    const bool portChanged = port != settings_.ReadInteger(Setting::ServerPort);

    // 2. The per-user values; a refusal here is the caller's to show.
    settings_.WriteBool(Setting::PlayOnStartup, PlayOnStartupCheck->isChecked());
    settings_.WriteBool(Setting::ShowAudioInfo, ShowAudioInfoCheck->isChecked());
    settings_.WriteBool(Setting::ChangeTaskBarIcon, ChangeTaskBarIconCheck->isChecked());
    settings_.WriteInteger(Setting::QuickMenuMode, QuickMenuCombo->currentIndex());
    settings_.WriteInteger(Setting::RecentCount, RecentCountCombo->currentIndex());
    settings_.WriteInteger(Setting::ScrollSpeed,
                           NumberOr(ScrollSpeedCombo->currentText(), kDefaultScrollSpeed));
    settings_.WriteInteger(Setting::ScrollJump,
                           SmoothScrollCheck->isChecked() ? kSmoothJump : kCoarseJump);
    settings_.WriteString(Setting::DefaultExtension, ExtensionCombo->currentText());
    settings_.WriteInteger(Setting::BitRate, NumberOr(BitRateCombo->currentText(), 0));
    settings_.WriteInteger(Setting::SamplingFrequency, NumberOr(SampleRateCombo->currentText(), 0));

    // 3, 4. Machine-wide: a user who may not write them keeps the stored values, silently.
    try {
        settings_.WriteBool(Setting::TimerEnabled, TimerEnabledCheck->isChecked());
    } catch (const RegistryError&) {
    }
    try {
        settings_.WriteInteger(Setting::ServerPort, port);
        settings_.WriteString(Setting::ServerPassword, PasswordEdit->text());
    } catch (const RegistryError&) {
    }

    // 5. The ensembles.
    StoreFrequencies();

    // 6. The bar takes the display settings before this returns.
    if (TunoraWindow) {
        TunoraWindow->SettingsChanged();
    }

    // 7. The stored port decides, so a refused write keeps the old server.
    if (portChanged && HTTPServerManager) {
        HTTPServerManager->Restart();
    }
    ShowMachineSettings();
}

void TOptionsForm::SaveButtonClick() {
    Dialogs::ShowFailures([this] {
        SaveSettings();
        close();
    });
}

void TOptionsForm::CancelButtonClick() {
    close();
}

void TOptionsForm::ApplyButtonClick() {
    Dialogs::ShowFailures([this] { SaveSettings(); });
}

void TOptionsForm::FillFrequencyList() {
    filling_ = true;
    FrequencyList->clear();
    frequenciesChanged_ = false;
    TListEntries ensembles;
    tables_.ListEnsembles(ensembles, true, true);
    for (const TListEntry& entry : ensembles) {
        auto* item = new QListWidgetItem(entry.Text, FrequencyList);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setData(Qt::UserRole, QVariant::fromValue<qint64>(entry.Object));
        item->setCheckState(tables_.GetEnsembleState(entry.Object / 1000.0) >= 1 ? Qt::Checked
                                                                                 : Qt::Unchecked);
    }
    filling_ = false;
}

void TOptionsForm::StoreFrequencies() {
    for (int row = 0; row < FrequencyList->count(); ++row) {
        const QListWidgetItem* item = FrequencyList->item(row);
        const double frequency = item->data(Qt::UserRole).toLongLong() / 1000.0;
        const bool ticked = item->checkState() == Qt::Checked;
        if (ticked != (tables_.GetEnsembleState(frequency) >= 1)) {
            tables_.SetEnsembleState(ticked ? 2 : 0, frequency);
            tableChanged_ = true;
        }
    }
    frequenciesChanged_ = false;
}

void TOptionsForm::FrequencyItemChanged() {
    if (!filling_) {
        frequenciesChanged_ = true;
    }
}

void TOptionsForm::SetAllTicks(bool ticked) {
    // Not a change of the user's: a scan started now still visits the stored ensembles.
    filling_ = true;
    for (int row = 0; row < FrequencyList->count(); ++row) {
        FrequencyList->item(row)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    }
    filling_ = false;
}

void TOptionsForm::SelectAllButtonClick() {
    SetAllTicks(true);
}

void TOptionsForm::SelectNoneButtonClick() {
    SetAllTicks(false);
}

void TOptionsForm::RebuildTable(int channelSet) {
    tables_.BuildChannelTable(channelSet);
    tableChanged_ = true;
    FillFrequencyList();
}

void TOptionsForm::StartButtonClick() {
    // Start is disabled then; a click already on its way must not retune under a recording.
    if (scanning_ || control_.IsBusy()) {
        return;
    }
    if (frequenciesChanged_) {
        if (Dialogs::Instance().MessageBox(
                DialogKind::Confirmation,
                QStringLiteral(
                    "The frequency table have changed and will be saved before scanning."),
                DialogButtons::OkCancel) != DialogResult::Ok) {
            return;
        }
        StoreFrequencies();
    }
    // A cancelled scan reloads the tables from their files, which would quietly undo what this
    // window changed; another scan running leaves the files alone (it refuses this one below).
    if (tableChanged_ && !control_.GetScanLock()) {
        tables_.SaveTables();
        tableChanged_ = false;
    }
    if (!ScanFrame1->Frame().StartScan()) {
        return;
    }
    ShowScanning(true);
}

void TOptionsForm::ScanCancelButtonClick() {
    ScanFrame1->Frame().CancelScan();
}

void TOptionsForm::ScanEnded() {
    ShowScanning(false);
    FillFrequencyList();
}

void TOptionsForm::ShowScanning(bool on) {
    scanning_ = on;
    SaveButton->setEnabled(!on);
    CancelButton->setEnabled(!on);
    ApplyButton->setEnabled(!on);
    ScanCancelButton->setEnabled(on);
    for (int page = 0; page < PageCount; ++page) {
        PageControl->setTabEnabled(page, !on || page == ScanPage);
    }
    FollowBusy();
}

void TOptionsForm::FollowBusy() {
    // A scan would retune under a recording or stream, which would go on but receive nothing.
    StartButton->setEnabled(!scanning_ && !control_.IsBusy());
}

void TOptionsForm::PageChanging(int index) {
    if (scanning_ && index != ScanPage) {
        PageControl->setCurrentIndex(ScanPage);
    }
}

bool TOptionsForm::SystemCommand(int command) {
    if (command != kWhatItThisCommand) {
        return false;
    }
    PageControl->setTabVisible(BugPage, true);
    PageControl->setCurrentIndex(BugPage);
    return true;
}

void TOptionsForm::EditScheduleButtonClick() {
    // The schedule window belongs to the bar, so it stays when this window closes.
    Dialogs::ShowFailures(
        [this] { TScheduleForm::ShowSchedule(tables_, settings_, parentWidget()); });
}

void TOptionsForm::MaskCheckClick() {
    PasswordEdit->setEchoMode(MaskCheck->isChecked() ? QLineEdit::Password : QLineEdit::Normal);
}

void TOptionsForm::closeEvent(QCloseEvent* event) {
    ScanFrame1->Frame().CancelScan();
    event->accept();
}

void TOptionsForm::contextMenuEvent(QContextMenuEvent* event) {
    WindowMenu->popup(event->globalPos());
}

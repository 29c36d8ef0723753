#include "shell/TTunoraWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QThread>
#include <QToolTip>
#include <QUrl>
#include <QWindow>
#include <exception>

#include "Version.h"
#include "platform/Dialogs.h"
#include "platform/HandOverServer.h"
#include "receiver/TMainControl.h"
#include "recording/TRecordManager.h"
#include "resources/Resources.h"
#include "services/ProgrammeTypes.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"
#include "shell/CommandLine.h"
#include "shell/DSLLinks.h"
#include "shell/GuiImages.h"
#include "shell/Startup.h"
#include "shell/TDSLCanvas.h"
#include "shell/TDSLDrawer.h"
#include "shell/TLogindPower.h"
#include "shell/TScanForm.h"

TTunoraWindow* TunoraWindow = nullptr;

namespace {

// Sizes of the bar at its design size (pixels).
constexpr int kLeftWidth = 80;
constexpr int kRightWidth = 24;
constexpr int kSizer = 32;
constexpr int kBarHeight = kSizer * 56 / 32;

// MasterImageList, by index.
const char* const kMenuImages[TTunoraWindow::kImageCount] = {
    "MENUOPTIONS", "MENULIST",   "MENUTIMER",     "MENUEXIT", "MENUBAR",
    "MENUQUIET",   "MENURECENT", "MENUFAVOURITE", "MENULINK"};

QString DoubleAmpersands(QString text) {
    return text.replace(u'&', QStringLiteral("&&"));
}

QCursor LoadCursor(const QString& name, Qt::CursorShape fallback) {
    // The cursor pictures are 32 x 32 with their hot spot in the middle.
    if (const std::optional<QByteArray> bytes = Resources::Find(QStringLiteral("CURSOR"), name)) {
        QPixmap pixmap;
        if (pixmap.loadFromData(*bytes)) {
            return QCursor(pixmap, pixmap.width() / 2, pixmap.height() / 2);
        }
    }
    return QCursor(fallback);
}

}  // namespace

TTunoraWindow::TTunoraWindow(TServiceTablesWrapper& tables, TSettingsWrapper& settings,
                             TMainControl& control, QStringList arguments, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool),
      tables_(tables),
      settings_(settings),
      control_(control),
      arguments_(std::move(arguments)) {
    setObjectName(QStringLiteral("TTunoraWindow"));
    setWindowTitle(QStringLiteral("Tunora"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    QFont barFont = font();
    barFont.setPixelSize(11);
    setFont(barFont);

    // 1. Icons.
    setWindowIcon(GuiImages::MainIcon());
    trayIcon_ = GuiImages::MainIcon();

    // 2. The hand-over of later instances.
    handOver_ = std::make_unique<HandOverServer>(
        [this](int wParam, std::int64_t lParam, const QString& text) {
            return HandOverMessage(wParam, lParam, text);
        });
    if (!handOver_->Listen()) {
        qWarning("Tunora: later starts cannot hand their command line over (no hand-over socket)");
    }

    // 3. Pictures.
    leftImage_ = GuiImages::Gif(QStringLiteral("BAR1"));
    middleImage_ = GuiImages::Gif(QStringLiteral("BAR2"));
    rightImage_ = GuiImages::Gif(QStringLiteral("BAR3"));
    recordImage_ = GuiImages::Gif(QStringLiteral("RECORD"));
    networkImage_ = GuiImages::Gif(QStringLiteral("NETWORK"));
    for (const char* name : kMenuImages) {
        masterImageList_.append(
            QIcon(QPixmap::fromImage(GuiImages::Gif(QString::fromLatin1(name)))));
    }
    captionCursor_ = LoadCursor(QStringLiteral("CAPTION"), Qt::SizeAllCursor);
    reduceCursor_ = LoadCursor(QStringLiteral("REDUCE"), Qt::PointingHandCursor);

    // 4. Size, shape and place.
    setMinimumSize(kLeftWidth + kRightWidth + 8, kBarHeight);
    setMaximumHeight(kBarHeight);
    resize(settings_.ReadInteger(Setting::Width), kBarHeight);
    ApplyShape();
    move(settings_.ReadInteger(Setting::Left), settings_.ReadInteger(Setting::Top));

    CreateActions();
    CreateMenus();

    // 5. The notification-area icon.
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        trayIconWidget_ = new QSystemTrayIcon(trayIcon_, this);
        trayIconWidget_->setToolTip(trayTip_);
        connect(trayIconWidget_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    switch (reason) {
                        case QSystemTrayIcon::Trigger:
                            TrayIconMessage(514);
                            break;
                        case QSystemTrayIcon::DoubleClick:
                            TrayIconMessage(515);
                            break;
                        case QSystemTrayIcon::Context:
                            TrayIconMessage(517);
                            break;
                        default:
                            break;
                    }
                });
        trayIconWidget_->show();
    }

    // 6. The label drawer.
    labelCanvas_ = std::make_unique<TDSLCanvas>(
        this, [this] { return DSLImageRect(); }, font());
    labelDrawer_ = std::make_unique<TDSLDrawer>(labelCanvas_.get(), [this] {
        try {
            return control_.GetDynamicLabel();
        } catch (const std::exception&) {
            return QString();
        }
    });
    ApplyScrollSettings();

    theTimer_.setInterval(1000);
    connect(&theTimer_, &QTimer::timeout, this, [this] { TheTimerTimer(); });
    theTimer_.start();
    taskbarTimer_.setInterval(600);
    connect(&taskbarTimer_, &QTimer::timeout, this, [this] { TaskbarTimerTimer(); });
    power_ = new TLogindPower([this](bool suspending) { PowerSuspend(suspending); }, this);

    serviceText_ = QStringLiteral("Tunora ") + QString::fromLatin1(TunoraVersion);
    serviceLabel_ = serviceText_;
    icon32_ = ServicePicture(0, kSizer);

    // 7. An empty table: offer a scan.
    if (tables_.CountServices(u'A') == 0) {
        if (Dialogs::Instance().MessageBox(
                DialogKind::Confirmation,
                QStringLiteral("No services found. \n\rDo you want to scan for them now?"),
                DialogButtons::YesNo) == DialogResult::Yes) {
            ScanAction->trigger();
        }
    }

    // 8.
    menuBusy_ = false;
    shownService_ = 0;
    shownTuning_ = false;

    // 9. The command line, or the service of the last run.
    if (arguments_.size() > 1) {
        ProcessCommandLine(CommandLine::Join(arguments_));
    } else if (settings_.ReadBool(Setting::PlayOnStartup)) {
        StartService(tables_.FindServiceByKey(settings_.ReadString(Setting::Playing)));
    }
    TunoraWindow = this;
}

TTunoraWindow::~TTunoraWindow() {
    TunoraWindow = nullptr;
    handOver_.reset();
    labelDrawer_->Terminate();
    labelDrawer_.reset();
    settings_.WriteInteger(Setting::Width, width());
    settings_.WriteInteger(Setting::Top, y());
    settings_.WriteInteger(Setting::Left, x());
    try {
        control_.PlayService(0, false);
    } catch (const std::exception&) {
        // Shutting down: the receiver goes next anyway.
    }
    if (trayIconWidget_) {
        trayIconWidget_->hide();
    }
}

QAction* TTunoraWindow::MakeAction(const QString& caption, int image, bool visible) {
    auto* action = new QAction(caption, this);
    action->setIcon(masterImageList_.value(image));
    action->setVisible(visible);
    return action;
}

void TTunoraWindow::CreateActions() {
    OptionsAction = MakeAction(QStringLiteral("Options"), 0, true);
    TimerAction = MakeAction(QStringLiteral("Timer"), 2, true);
    ListAction = MakeAction(QStringLiteral("List"), 1, true);
    ScanAction = MakeAction(QStringLiteral("Scan"), 2, true);
    RecordAction = MakeAction(QStringLiteral("Record"), 4, false);
    RecordAction->setCheckable(true);
    QuietAction = MakeAction(QStringLiteral("Quiet"), 5, false);
    RestoreBarAction = MakeAction(QStringLiteral("Restore"), 4, true);
    MinimizeBarAction = MakeAction(QStringLiteral("Minimize Bar"), 4, true);
    ExitAction = MakeAction(QStringLiteral("Exit"), 3, true);
    HyperlinkAction = MakeAction(QString(), 8, false);
    connect(OptionsAction, &QAction::triggered, this, [this] { OptionsActionExecute(); });
    connect(TimerAction, &QAction::triggered, this, [this] { TimerActionExecute(); });
    connect(ListAction, &QAction::triggered, this, [this] { ListActionExecute(); });
    connect(ScanAction, &QAction::triggered, this, [this] { ScanActionExecute(); });
    connect(RecordAction, &QAction::triggered, this, [this] { RecordActionExecute(); });
    connect(QuietAction, &QAction::triggered, this, [this] { QuietActionExecute(); });
    connect(RestoreBarAction, &QAction::triggered, this, [this] { RestoreBarActionExecute(); });
    connect(MinimizeBarAction, &QAction::triggered, this, [this] { MinimizeBarActionExecute(); });
    connect(ExitAction, &QAction::triggered, this, [this] { ExitActionExecute(); });
    connect(HyperlinkAction, &QAction::triggered, this, [this] { HyperlinkActionExecute(); });
}

void TTunoraWindow::CreateMenus() {
    mainPopupMenu_ = new QMenu(this);
    mainPopupMenu_->addAction(OptionsAction);
    mainPopupMenu_->addAction(TimerAction);
    mainPopupMenu_->addSeparator();
    mainPopupMenu_->addAction(ListAction);
    recentMenu_ = mainPopupMenu_->addMenu(masterImageList_.value(6), QStringLiteral("Recent"));
    recentMenu_->menuAction()->setVisible(false);
    favouriteMenu_ =
        mainPopupMenu_->addMenu(masterImageList_.value(7), QStringLiteral("Favourite"));
    favouriteMenu_->menuAction()->setVisible(false);
    mainPopupMenu_->addAction(RecordAction);
    mainPopupMenu_->addAction(QuietAction);
    mainPopupMenu_->addSeparator();
    mainPopupMenu_->addAction(ExitAction);

    quickPopupMenu_ = new QMenu(this);
    quickPopupMenu_->addAction(HyperlinkAction);
    quickPopupMenu_->addSeparator();
    quickPopupMenu_->addAction(ListAction);
    quickPopupMenu_->addAction(RecordAction);
    quickPopupMenu_->addAction(QuietAction);
    quickPopupMenu_->addSeparator();
}

int TTunoraWindow::HandOverMessage(int wParam, std::int64_t lParam, const QString& text) {
    Q_ASSERT(QThread::currentThread() == thread());
    int result = 0;
    switch (wParam) {
        case 0: {
            const std::int32_t id = lParam > 0 && lParam <= 0xFFFFFFFFLL
                                        ? tables_.FindService(static_cast<std::uint32_t>(lParam), 0)
                                        : 0;
            StartService(id);
            break;
        }
        case 1:
            ProcessCommandLine(text);
            break;
        case 2:
            result = settings_.ReadInteger(Setting::ServerPort);
            break;
        default:
            result = -1;
            break;
    }
    RefreshTrayIcon();
    return result;
}

void TTunoraWindow::ProcessCommandLine(const QString& text) {
    const CommandLine::Action action = CommandLine::Interpret(text, tables_);
    switch (action.kind) {
        case CommandLine::Kind::Start:
            StartService(action.serviceId);
            break;
        case CommandLine::Kind::Nothing:
            break;
        case CommandLine::Kind::Invalid:
            Dialogs::Instance().MessageBox(
                DialogKind::Error, QStringLiteral("Invalid command line."), DialogButtons::Cancel);
            break;
    }
}

void TTunoraWindow::StartService(std::int32_t serviceId) {
    if (serviceId == control_.CurrentService()) {
        return;
    }
    if (!control_.CanUseService(serviceId, true)) {
        Dialogs::Instance().MessageBox(
            DialogKind::Error,
            QStringLiteral("Unable to retune.\n\rStop recording first or select a service on the "
                           "current multiplex."),
            DialogButtons::Cancel);
        return;
    }
    if (!control_.CanUseService(serviceId, false) &&
        Dialogs::Instance().MessageBox(
            DialogKind::Warning,
            QStringLiteral("A service on the current multiplex in being streamed..\n\rDo you want "
                           "to stop streaming and retune?"),
            DialogButtons::OkCancel) != DialogResult::Ok) {
        return;
    }
    settings_.AddRecent(serviceId);
    try {
        control_.PlayService(serviceId, settings_.ReadBool(Setting::ShowAudioInfo));
    } catch (const std::exception& error) {
        // A receiver failure is reported like any other error; the program goes on.
        Dialogs::Instance().MessageBox(DialogKind::Error, QString::fromLocal8Bit(error.what()),
                                       DialogButtons::Ok);
    }
    settings_.WriteString(Setting::Playing, tables_.GetServiceKey(serviceId, true, u':'));
    Q_EMIT ServiceStarted(serviceId);
}

void TTunoraWindow::ShowService(std::int32_t serviceId, bool tuning) {
    shownService_ = serviceId;
    shownTuning_ = tuning;
    labelDrawer_->Reset();
    if (serviceId != 0) {
        const QString label = tables_.GetServiceLabel(serviceId);
        SetServiceText(tuning ? QStringLiteral("Tuning to ") + label + QStringLiteral("...")
                              : label);
    } else {
        SetServiceText(QString());
    }
    UpdateServiceIcons(serviceId);
}

void TTunoraWindow::SetServiceText(const QString& text) {
    if (!text.isEmpty()) {
        const QString caption = QStringLiteral("Tunora [") + text + u']';
        setWindowTitle(caption);
        serviceText_ = text;
        trayTip_ = caption.left(63);
    } else {
        setWindowTitle(QStringLiteral("Tunora"));
        serviceText_ = QStringLiteral("Tunora ") + QString::fromLatin1(TunoraVersion);
        trayTip_ = QStringLiteral("Tunora");
    }
    serviceLabel_ = serviceText_;
    update();
    RefreshTrayIcon();
}

void TTunoraWindow::UpdateServiceIcons(std::int32_t serviceId) {
    icon32_ = ServicePicture(serviceId, kSizer);
    if (serviceId != 0 && settings_.ReadBool(Setting::ChangeTaskBarIcon)) {
        trayIcon_ = QIcon(QPixmap::fromImage(ServicePicture(serviceId, 16)));
    } else {
        trayIcon_ = GuiImages::MainIcon();
    }
    update(QRect(12, 12, kSizer, kSizer));
    RefreshTrayIcon();
}

void TTunoraWindow::UpdateAudioInfo() {
    StreamInfoRecord info;
    try {
        info = control_.GetStreamInfo();
    } catch (const std::exception&) {
        // No information this tick.
    }
    QString text = serviceText_;
    if (info.Bitrate != 0) {
        text += QStringLiteral("   (") + QString::number(info.Bitrate) + QStringLiteral("Kbps") +
                (info.Stereo ? QStringLiteral(" Stereo") : QStringLiteral(" Mono"));
        if (info.MusicSpeech == 1) {
            text += QStringLiteral(" Music");
        } else if (info.MusicSpeech == 2) {
            text += QStringLiteral(" Speech");
        }
        text += u')';
    }
    if (text != serviceLabel_) {
        serviceLabel_ = text;
        update();
    }
}

void TTunoraWindow::ApplyScrollSettings() {
    labelDrawer_->SetScrollJump(settings_.ReadInteger(Setting::ScrollJump));
    labelDrawer_->SetScrollSpeed(settings_.ReadInteger(Setting::ScrollSpeed));
}

void TTunoraWindow::SettingsChanged() {
    UpdateServiceIcons(shownService_);
    control_.SetShowAudioInfo(settings_.ReadBool(Setting::ShowAudioInfo));
    serviceLabel_ = serviceText_;
    ApplyScrollSettings();
    update();
}

bool TTunoraWindow::Animated() const {
    // The desktop's own animation setting; a session without one has none.
    return QApplication::isEffectEnabled(Qt::UI_General);
}

void TTunoraWindow::AnimateWidth(int width) {
    resize(width, height());
    repaint();
    QThread::msleep(10);
}

void TTunoraWindow::ExpandBar() {
    if (barExpanded_) {
        return;
    }
    if (Animated()) {
        const int t = width();
        const int m = kLeftWidth + kRightWidth + 8;
        const int s = (t - m) / 7;
        resize(m, height());
        icon32Visible_ = false;
        show();
        for (int i = 0; i <= 7; ++i) {
            AnimateWidth(m + s * i);
        }
        resize(t, height());
        barExpanded_ = true;
        icon32Visible_ = true;
        update();
    } else {
        barExpanded_ = true;
        show();
    }
}

void TTunoraWindow::CollapseBar() {
    if (!barExpanded_) {
        return;
    }
    if (Animated() && isVisible()) {
        const int t = width();
        const int m = kLeftWidth + kRightWidth + 8;
        const int s = (t - m) / 7;
        icon32Visible_ = false;
        for (int i = 7; i >= 0; --i) {
            AnimateWidth(m + s * i);
        }
        hide();
        resize(t, height());
        barExpanded_ = false;
        icon32Visible_ = true;
    } else {
        barExpanded_ = false;
        hide();
    }
}

void TTunoraWindow::PopupMenuAt(int x, int y, bool quick) {
    if (menuBusy_) {
        return;
    }
    const int left = this->x();
    bool moved = false;
    if (isHidden()) {
        // A menu needs a visible owner: show the bar just outside every screen.
        const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        const QRect desktop = screen ? screen->virtualGeometry() : QRect(0, 0, 1024, 768);
        move(desktop.left() + desktop.width(), this->y());
        moved = true;
    }
    setVisible(true);
    BringBarToFront();
    QMenu* menu = quick ? quickPopupMenu_ : mainPopupMenu_;
    if (quick) {
        BuildQuickMenu();
    } else {
        BuildMainMenu();
    }
    menu->exec(QPoint(x, y));
    dynamicImageList_.clear();
    if (moved) {
        hide();
    }
    move(left, this->y());
    setVisible(!settings_.ReadBool(Setting::HideBar));
}

void TTunoraWindow::BringBarToFront() {
    if (isVisible()) {
        raise();
        activateWindow();
    }
}

void TTunoraWindow::RefreshTrayIcon() {
    if (!trayIconWidget_) {
        return;
    }
    trayIconWidget_->setIcon(trayIcon_);
    trayIconWidget_->setToolTip(trayTip_);
    if (!trayIconWidget_->isVisible()) {
        // The icon went away (the panel restarted): add it again.
        trayIconWidget_->hide();
        trayIconWidget_->show();
    }
}

void TTunoraWindow::AddServiceItems(QMenu* parent, const TListEntries& list) {
    const std::int32_t current = control_.CurrentService();
    for (const TListEntry& line : list) {
        const auto serviceId = static_cast<std::int32_t>(line.Object);
        auto* item = new QAction(DoubleAmpersands(line.Text), parent);
        item->setData(serviceId);
        item->setEnabled(control_.CanUseService(serviceId, true));
        item->setCheckable(true);
        item->setChecked(serviceId == current);
        const QIcon icon(QPixmap::fromImage(ServicePicture(serviceId, 16)));
        dynamicImageList_.append(icon);
        item->setIcon(icon);
        connect(item, &QAction::triggered, this, [this, serviceId] { StartService(serviceId); });
        parent->addAction(item);
    }
}

void TTunoraWindow::AddSeparatorItem(QMenu* parent) {
    QAction* separator = parent->addSeparator();
    separator->setData(0);
}

bool TTunoraWindow::IsRecording(std::int32_t serviceId) const {
    return RecordManager && serviceId != 0 && RecordManager->IsRecording(serviceId);
}

void TTunoraWindow::BuildMainMenu() {
    ScanAction->setVisible(!control_.IsBusy());
    RecordAction->setVisible(control_.TunedSId() != 0);
    RecordAction->setChecked(IsRecording(control_.PlayingServiceID()));
    QuietAction->setVisible(control_.CurrentService() != 0);
    recentMenu_->clear();
    favouriteMenu_->clear();
    dynamicImageList_ = masterImageList_;
    TListEntries list;
    settings_.GetFavourites(list);
    AddServiceItems(favouriteMenu_, list);
    favouriteMenu_->menuAction()->setVisible(!list.isEmpty());
    settings_.GetRecents(list, true);
    AddServiceItems(recentMenu_, list);
    recentMenu_->menuAction()->setVisible(!list.isEmpty());
}

void TTunoraWindow::BuildQuickMenu() {
    const std::int32_t playing = control_.PlayingServiceID();
    RecordAction->setVisible(playing != 0);
    RecordAction->setChecked(IsRecording(playing));
    QuietAction->setVisible(control_.CurrentService() != 0);
    const QList<QAction*> items = quickPopupMenu_->actions();
    for (qsizetype i = 6; i < items.size(); ++i) {
        quickPopupMenu_->removeAction(items[i]);
        if (items[i]->parent() == quickPopupMenu_) {
            delete items[i];
        }
    }
    dynamicImageList_ = masterImageList_;
    const int mode = settings_.ReadInteger(Setting::QuickMenuMode);
    TListEntries list;
    if (mode != 2) {
        settings_.GetFavourites(list);
        AddServiceItems(quickPopupMenu_, list);
    }
    if (mode != 1) {
        settings_.GetRecents(list, true);
        if (quickPopupMenu_->actions().size() > 6 && !list.isEmpty()) {
            AddSeparatorItem(quickPopupMenu_);
        }
        AddServiceItems(quickPopupMenu_, list);
    }
}

void TTunoraWindow::TheTimerTimer() {
    const std::int32_t current = control_.CurrentService();
    const bool tuning = !control_.IsSettled();
    if (current != shownService_ || shownTuning_ != tuning) {
        ShowService(current, tuning);
    }
    if (power_) {
        power_->SetBlocking(QuerySuspendDenied());
    }
    if (!isVisible()) {
        return;
    }
    int level = 0;
    try {
        level = control_.SignalLevel();
    } catch (const std::exception&) {
        level = 0;
    }
    if (level != powerLevel_) {
        powerLevel_ = level;
        update(MeterRect());
    }
    if (control_.AudioInfoEnabled()) {
        UpdateAudioInfo();
    }
    blinkPhase_ = control_.IsBusy() ? (blinkPhase_ + 1) % 8 : 0;
    const bool recordings = control_.HasRecordings();
    const bool streams = control_.HasStreams();
    bool record = false;
    bool network = false;
    if (blinkPhase_ >= 1 && blinkPhase_ <= 3) {
        record = recordings;
        network = streams && !recordings;
    } else if (blinkPhase_ >= 5) {
        record = recordings && !streams;
        network = streams;
    }
    if (record != recordVisible_ || network != networkVisible_) {
        recordVisible_ = record;
        networkVisible_ = network;
        update(IndicatorRect());
    }
}

void TTunoraWindow::TaskbarTimerTimer() {
    taskbarTimer_.stop();
    if (barExpanded_) {
        MinimizeBarAction->trigger();
    } else {
        RestoreBarAction->trigger();
    }
}

void TTunoraWindow::TrayIconMessage(int mouseMessage) {
    switch (mouseMessage) {
        case 514:
            taskbarTimer_.setInterval(QApplication::doubleClickInterval());
            if (taskbarTimer_.isActive()) {
                taskbarTimer_.stop();
            } else {
                taskbarTimer_.start();
            }
            break;
        case 515:
            // Qt reports no second button-up for a double-click, so the pending single click
            // is cancelled here.
            taskbarTimer_.stop();
            PopupMenuAt(QCursor::pos().x(), QCursor::pos().y(), true);
            break;
        case 517:
            PopupMenuAt(QCursor::pos().x(), QCursor::pos().y(), false);
            break;
        default:
            break;
    }
}

void TTunoraWindow::HyperlinkCheck(const QPoint& global) {
    const QRect area = DSLImageRect();
    const QPoint p = mapFromGlobal(global) - area.topLeft();
    QString link;
    if (labelDrawer_ && p.y() >= 0 && p.y() <= area.height() && p.x() >= 0 &&
        p.x() <= area.width()) {
        link = labelDrawer_->HotspotAt(p.x());
    }
    if (!link.isEmpty()) {
        hyperlinkTarget_ = MakeLinkTarget(link);
        HyperlinkAction->setText(DoubleAmpersands(hyperlinkTarget_));
        HyperlinkAction->setVisible(true);
        PopupMenuAt(global.x(), global.y(), true);
        HyperlinkAction->setVisible(false);
    } else {
        PopupMenuAt(global.x(), global.y(), true);
    }
}

TTunoraWindow::HitArea TTunoraWindow::HitTest(const QPoint& client) const {
    if (client.x() <= 10) {
        return HitArea::LeftEdge;
    }
    if (client.x() >= width() - 48 && client.y() < 15) {
        return HitArea::MinimiseBox;
    }
    if (client.x() < width() - 24) {
        return HitArea::Caption;
    }
    return HitArea::RightEdge;
}

bool TTunoraWindow::QuerySuspendDenied() const {
    return control_.CurrentService() != 0 || control_.IsBusy() || control_.GetScanLock() ||
           settings_.ReadBool(Setting::TimerEnabled);
}

void TTunoraWindow::PowerSuspend(bool suspending) {
    try {
        control_.SetSuspended(suspending);
    } catch (const std::exception& error) {
        qWarning("Tunora: %s", error.what());
    }
}

QString TTunoraWindow::PowerHint() const {
    return QString::number(powerLevel_) + u'%';
}

void TTunoraWindow::Terminate() {
    terminating_ = true;
    CollapseBar();
    QApplication::quit();
}

void TTunoraWindow::OptionsActionExecute() {
    qInfo("Tunora: the options window is not available yet");
}

void TTunoraWindow::TimerActionExecute() {
    qInfo("Tunora: the schedule window is not available yet");
}

void TTunoraWindow::ListActionExecute() {
    qInfo("Tunora: the service list window is not available yet");
}

void TTunoraWindow::ScanActionExecute() {
    TScanForm::ShowScanWindow(control_, tables_, this);
}

void TTunoraWindow::RecordActionExecute() {
    menuBusy_ = true;
    const std::int32_t current = control_.CurrentService();
    if (RecordManager) {
        try {
            RecordManager->ToggleRecording(current);
        } catch (const std::exception& error) {
            Dialogs::Instance().MessageBox(DialogKind::Error, QString::fromLocal8Bit(error.what()),
                                           DialogButtons::Ok);
        }
    } else {
        qInfo("Tunora: recording is not available in this build");
    }
    RecordAction->setChecked(IsRecording(current));
    menuBusy_ = false;
    BringBarToFront();
}

void TTunoraWindow::QuietActionExecute() {
    StartService(0);
}

void TTunoraWindow::RestoreBarActionExecute() {
    settings_.WriteBool(Setting::HideBar, false);
    ExpandBar();
}

void TTunoraWindow::MinimizeBarActionExecute() {
    settings_.WriteBool(Setting::HideBar, true);
    CollapseBar();
}

void TTunoraWindow::ExitActionExecute() {
    if (control_.IsBusy() &&
        Dialogs::Instance().MessageBox(
            DialogKind::Confirmation,
            QStringLiteral("Do you want to stop recording/streaming and exit Tunora?"),
            DialogButtons::OkCancel) != DialogResult::Ok) {
        return;
    }
    terminating_ = true;
    CollapseBar();
    QApplication::quit();
}

void TTunoraWindow::HyperlinkActionExecute() {
    if (!hyperlinkTarget_.isEmpty()) {
        QDesktopServices::openUrl(QUrl(hyperlinkTarget_));
    }
}

QImage TTunoraWindow::ServicePicture(std::int32_t serviceId, int size) const {
    if (serviceId == 0) {
        return GuiImages::Gif(GetProductImageName(size));
    }
    return GuiImages::Gif(GetGenreImageName(tables_.GetServiceProgrammeType(serviceId), size));
}

QRect TTunoraWindow::DSLImageRect() const {
    return QRect(88, 31, width() - 105, height() - 41);
}

QRect TTunoraWindow::MeterRect() const {
    return QRect(68, 12, 9, height() - 23);
}

QRect TTunoraWindow::IndicatorRect() const {
    return QRect(width() - 28, 12, 16, 16);
}

void TTunoraWindow::ApplyShape() {
    // Union of a rounded square at the left (the genre picture's circular end) and the bar.
    const int w = width();
    const int h = height();
    const int r = h * 44 / 56;
    const int barLeft = kLeftWidth * 52 / 80;
    QPainterPath end;
    end.addRoundedRect(QRectF(0, 0, h, h), r / 2.0, r / 2.0);
    QPainterPath bar;
    bar.addRoundedRect(QRectF(barLeft, 0, w - barLeft, h), r / 2.0, r / 2.0);
    setMask(QRegion(end.united(bar).toFillPolygon().toPolygon()));
}

bool TTunoraWindow::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (MeterRect().contains(help->pos())) {
            QToolTip::showText(help->globalPos(), PowerHint(), this, MeterRect());
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

void TTunoraWindow::closeEvent(QCloseEvent* event) {
    if (terminating_) {
        event->accept();
        return;
    }
    if (Dialogs::Instance().MessageBox(DialogKind::Confirmation,
                                       QStringLiteral("Do you want to exit Tunora?"),
                                       DialogButtons::OkCancel) == DialogResult::Ok) {
        terminating_ = true;
        CollapseBar();
        event->accept();
        QApplication::quit();
    } else {
        event->ignore();
    }
}

void TTunoraWindow::resizeEvent(QResizeEvent*) {
    ApplyShape();
}

void TTunoraWindow::showEvent(QShowEvent*) {
    BringBarToFront();
    theTimer_.setInterval(250);
    labelDrawer_->Reset();
    labelDrawer_->Resume();
}

void TTunoraWindow::hideEvent(QHideEvent*) {
    theTimer_.setInterval(1000);
    labelDrawer_->Suspend();
}

void TTunoraWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect label = DSLImageRect();
    if (!label.contains(event->rect())) {
        const int w = width();
        const int h = height();
        const int middle = std::max(0, w - kLeftWidth - kRightWidth);
        painter.fillRect(rect(), Qt::white);
        painter.drawImage(QRect(0, 0, kLeftWidth, h), leftImage_);
        painter.drawImage(QRect(kLeftWidth, 0, middle, h), middleImage_);
        painter.drawImage(QRect(w - kRightWidth, 0, kRightWidth, h), rightImage_);
        if (icon32Visible_ && !icon32_.isNull()) {
            painter.drawImage(QRect(12, 12, kSizer, kSizer), icon32_);
        }

        // The signal meter: a sunken trough filled from the bottom.
        const QRect meter = MeterRect();
        painter.fillRect(meter, QColor(0x8a, 0x98, 0xb8));
        const QRect trough = meter.adjusted(1, 1, -1, -1);
        painter.fillRect(trough, QColor(0xe6, 0xea, 0xf2));
        const int filled = trough.height() * std::clamp(powerLevel_, 0, 100) / 100;
        if (filled > 0) {
            const QRect bar(trough.left(), trough.bottom() + 1 - filled, trough.width(), filled);
            QLinearGradient fill(trough.bottomLeft(), trough.topLeft());
            fill.setColorAt(0, QColor(0x2f, 0x4a, 0x9e));
            fill.setColorAt(1, QColor(0xf2, 0x8a, 0x2e));
            painter.fillRect(bar, QBrush(fill));
        }

        // A hairline round the label area, so that it reads as a field of the bar.
        painter.setPen(QColor(0xc9, 0xd2, 0xe3));
        painter.drawRect(label.adjusted(-1, -1, 0, 0));

        painter.setFont(font());
        painter.setPen(Qt::black);
        painter.drawText(QRect(88, 15, w - 105, 13),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, serviceLabel_);

        const QRect indicator = IndicatorRect();
        if (recordVisible_) {
            painter.drawImage(indicator, recordImage_);
        }
        if (networkVisible_) {
            painter.drawImage(indicator, networkImage_);
        }
    }
    if (label.intersects(event->rect())) {
        labelCanvas_->DrawOn(painter);
    }
}

void TTunoraWindow::mousePressEvent(QMouseEvent* event) {
    const QPoint global = event->globalPosition().toPoint();
    if (event->button() == Qt::RightButton) {
        PopupMenuAt(global.x(), global.y(), false);
        return;
    }
    if (event->button() != Qt::LeftButton) {
        return;
    }
    QWindow* window = windowHandle();
    pressGlobal_ = global;
    pressGeometry_ = geometry();
    switch (HitTest(event->position().toPoint())) {
        case HitArea::MinimiseBox:
            MinimizeBarAction->trigger();
            break;
        case HitArea::Caption:
            if (!window || !window->startSystemMove()) {
                handling_ = Handling::Move;
            }
            break;
        case HitArea::LeftEdge:
            if (!window || !window->startSystemResize(Qt::LeftEdge)) {
                handling_ = Handling::SizeLeft;
            }
            break;
        case HitArea::RightEdge:
            if (!window || !window->startSystemResize(Qt::RightEdge)) {
                handling_ = Handling::SizeRight;
            }
            break;
    }
}

void TTunoraWindow::mouseMoveEvent(QMouseEvent* event) {
    const QPoint delta = event->globalPosition().toPoint() - pressGlobal_;
    switch (handling_) {
        case Handling::Move:
            move(pressGeometry_.topLeft() + delta);
            return;
        case Handling::SizeLeft: {
            const int w = std::max(minimumWidth(), pressGeometry_.width() - delta.x());
            setGeometry(pressGeometry_.right() + 1 - w, pressGeometry_.top(), w, height());
            return;
        }
        case Handling::SizeRight:
            resize(std::max(minimumWidth(), pressGeometry_.width() + delta.x()), height());
            return;
        case Handling::None:
            break;
    }
    switch (HitTest(event->position().toPoint())) {
        case HitArea::Caption:
            setCursor(captionCursor_);
            break;
        case HitArea::MinimiseBox:
            setCursor(reduceCursor_);
            break;
        case HitArea::LeftEdge:
        case HitArea::RightEdge:
            setCursor(Qt::SizeHorCursor);
            break;
    }
}

void TTunoraWindow::mouseReleaseEvent(QMouseEvent*) {
    handling_ = Handling::None;
}

void TTunoraWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    handling_ = Handling::None;
    if (event->button() == Qt::LeftButton) {
        HyperlinkCheck(event->globalPosition().toPoint());
    }
}

void TTunoraWindow::keyPressEvent(QKeyEvent* event) {
    const auto modifiers =
        event->modifiers() & (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier);
    if (modifiers != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (event->key() == Qt::Key_F3) {
        ListAction->trigger();
    } else if (event->key() == Qt::Key_F4) {
        PopupMenuAt(x() + 24, y() + 24, true);
    } else {
        QWidget::keyPressEvent(event);
    }
}

void TTunoraWindow::keyReleaseEvent(QKeyEvent* event) {
    const auto modifiers =
        event->modifiers() & (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier);
    if (modifiers == Qt::NoModifier && !event->isAutoRepeat() &&
        (event->key() == Qt::Key_F10 || event->key() == Qt::Key_Menu)) {
        PopupMenuAt(x() + 80, y() + 24, false);
        return;
    }
    QWidget::keyReleaseEvent(event);
}

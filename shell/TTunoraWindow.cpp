#include "shell/TTunoraWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDebug>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolTip>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <exception>
#include <functional>

#include "platform/Dialogs.h"
#include "platform/HandOverServer.h"
#include "receiver/TMainControl.h"
#include "recording/TRecordManager.h"
#include "scheduler/TScheduleForm.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"
#include "shell/CommandLine.h"
#include "shell/DSLLinks.h"
#include "shell/GuiImages.h"
#include "shell/TDSLCanvas.h"
#include "shell/TDSLDrawer.h"
#include "shell/TLogindPower.h"
#include "shell/TOptionsForm.h"
#include "shell/TScanForm.h"
#include "windows/TFullListForm.h"

TTunoraWindow* TunoraWindow = nullptr;

namespace {

constexpr int kFontPixelSize = 11;
// TheTimer's interval while the bar is shown and while it is hidden (ms).
constexpr int kShownInterval = 250;
constexpr int kHiddenInterval = 1000;
// Where the keys open the menus, from the bar's top-left corner.
constexpr QPoint kQuickMenuKeyOffset(24, 24);
constexpr QPoint kMainMenuKeyOffset(80, 24);
// The service pictures in the menus.
constexpr int kMenuIconSize = 16;
// The launcher's --maximized, handed over as the command line's lParam.
constexpr std::int64_t kShowMaximized = 3;

// The stored width, kept between the bar's minimum and the width of the screen it opens on: a
// wider bar could not be seen whole, and a huge one would cost start-up a strip that wide.
int OpeningWidth(int stored, QPoint topLeft) {
    const QScreen* screen = QGuiApplication::screenAt(topLeft);
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    const int screenWidth = screen ? screen->availableGeometry().width() : stored;
    return std::clamp(stored, TBarLayout::kMinimumWidth,
                      std::max(screenWidth, TBarLayout::kMinimumWidth));
}

}  // namespace

TTunoraWindow::TTunoraWindow(TServiceTablesWrapper& tables, TSettingsWrapper& settings,
                             TMainControl& control, QStringList arguments, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool),
      tables_(tables),
      settings_(settings),
      control_(control),
      arguments_(std::move(arguments)),
      commands_(tables, settings, control,
                [this](std::int32_t serviceId) { Q_EMIT ServiceStarted(serviceId); }),
      frame_(this),
      animator_(this, [this](bool shown) { display_.ShowGenre(shown); }),
      menus_(
          this, control, settings,
          [this](std::int32_t id) {
              return QIcon(QPixmap::fromImage(display_.ServicePicture(id, kMenuIconSize)));
          },
          [this](std::int32_t id) { StartService(id); }),
      tray_(
          GuiImages::MainIcon(), QStringLiteral("Tunora"),
          [this](int mouseMessage) { TrayIconMessage(mouseMessage); },
          [this] { TaskbarTimerTimer(); }),
      display_(this, tray_, tables, settings, control, [this] { labelDrawer_->Reset(); }) {
    const QString platform = QGuiApplication::platformName();
    headless_ = platform.startsWith(QStringLiteral("offscreen")) ||
                platform.startsWith(QStringLiteral("minimal"));
    setObjectName(QStringLiteral("TTunoraWindow"));
    setWindowTitle(QStringLiteral("Tunora"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    QFont barFont = font();
    barFont.setPixelSize(kFontPixelSize);
    setFont(barFont);

    // 1. Icons.
    setWindowIcon(GuiImages::MainIcon());

    // 2. The hand-over of later instances.
    handOver_ = std::make_unique<HandOverServer>(
        [this](int wParam, std::int64_t lParam, const QString& text) {
            return HandOverMessage(wParam, lParam, text);
        });
    if (!handOver_->Listen()) {
        qWarning("Tunora: later starts cannot hand their command line over (no hand-over socket)");
    }

    // 3. The pictures are loaded by the painter, the frame and the menus.

    // 4. Size, shape and place.
    setMinimumSize(TBarLayout::kMinimumWidth, TBarLayout::kHeight);
    setMaximumHeight(TBarLayout::kHeight);
    const QPoint topLeft(settings_.ReadInteger(Setting::Left), settings_.ReadInteger(Setting::Top));
    resize(OpeningWidth(settings_.ReadInteger(Setting::Width), topLeft), TBarLayout::kHeight);
    ApplyShape();
    move(topLeft);

    CreateActions();

    // 5. The notification-area icon.
    tray_.Add();

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

    theTimer_.setInterval(kHiddenInterval);
    connect(&theTimer_, &QTimer::timeout, this, [this] { TheTimerTimer(); });
    theTimer_.start();
    power_ = new TLogindPower([this](bool suspending) { PowerSuspend(suspending); }, this);

    // 7. An empty table: offer a scan.
    if (tables_.CountServices(u'A') == 0) {
        if (Dialogs::Instance().MessageBox(
                DialogKind::Confirmation,
                QStringLiteral("No services found. \n\rDo you want to scan for them now?"),
                DialogButtons::YesNo) == DialogResult::Yes) {
            ScanAction->trigger();
        }
    }

    // 8. Nothing counts as shown yet: the next tick shows whatever plays.
    menuBusy_ = false;
    display_.ForgetShown();

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
    if (exposureWatched_ && windowHandle() != nullptr) {
        windowHandle()->removeEventFilter(this);
    }
    handOver_.reset();
    labelDrawer_->Terminate();
    labelDrawer_.reset();
    Dialogs::ShowFailures([this] {
        settings_.WriteInteger(Setting::Width, width());
        settings_.WriteInteger(Setting::Top, y());
        settings_.WriteInteger(Setting::Left, x());
    });
    try {
        control_.PlayService(0, false);
    } catch (const std::exception&) {
        // Shutting down: the receiver goes next anyway.
    }
    tray_.Remove();
}

QAction* TTunoraWindow::AddAction(const QString& caption, TBarMenus::MenuImage image, bool visible,
                                  void (TTunoraWindow::*execute)()) {
    QAction* action = menus_.MakeAction(caption, image, visible);
    connect(action, &QAction::triggered, this, [this, execute] { (this->*execute)(); });
    return action;
}

void TTunoraWindow::CreateActions() {
    using Image = TBarMenus::MenuImage;
    OptionsAction = AddAction(QStringLiteral("Options"), Image::Options, true,
                              &TTunoraWindow::OptionsActionExecute);
    TimerAction =
        AddAction(QStringLiteral("Timer"), Image::Timer, true, &TTunoraWindow::TimerActionExecute);
    ListAction =
        AddAction(QStringLiteral("List"), Image::List, true, &TTunoraWindow::ListActionExecute);
    ScanAction =
        AddAction(QStringLiteral("Scan"), Image::Timer, true, &TTunoraWindow::ScanActionExecute);
    RecordAction =
        AddAction(QStringLiteral("Record"), Image::Bar, false, &TTunoraWindow::RecordActionExecute);
    RecordAction->setCheckable(true);
    QuietAction =
        AddAction(QStringLiteral("Quiet"), Image::Quiet, false, &TTunoraWindow::QuietActionExecute);
    RestoreBarAction = AddAction(QStringLiteral("Restore"), Image::Bar, true,
                                 &TTunoraWindow::RestoreBarActionExecute);
    MinimizeBarAction = AddAction(QStringLiteral("Minimize Bar"), Image::Bar, true,
                                  &TTunoraWindow::MinimizeBarActionExecute);
    ExitAction =
        AddAction(QStringLiteral("Exit"), Image::Exit, true, &TTunoraWindow::ExitActionExecute);
    HyperlinkAction =
        AddAction(QString(), Image::Link, false, &TTunoraWindow::HyperlinkActionExecute);
    menus_.CreateMenus({OptionsAction, TimerAction, ListAction, ScanAction, RecordAction,
                        QuietAction, ExitAction, HyperlinkAction});
}

int TTunoraWindow::HandOverMessage(int wParam, std::int64_t lParam, const QString& text) {
    const int result = commands_.HandOverMessage(wParam, lParam, text);
    // Without a notification area a later start is the only way back to a hidden bar.
    if (wParam == TBarCommands::kCommandLine && !TTrayIcon::IsAvailable() &&
        (lParam == kShowMaximized || CommandLine::Split(text).size() <= 1)) {
        RestoreBarAction->trigger();
    }
    RefreshTrayIcon();
    return result;
}

void TTunoraWindow::ProcessCommandLine(const QString& text) {
    commands_.ProcessCommandLine(text);
}

void TTunoraWindow::StartService(std::int32_t serviceId) {
    commands_.StartService(serviceId);
}

void TTunoraWindow::ShowService(std::int32_t serviceId, bool tuning) {
    display_.ShowService(serviceId, tuning);
}

void TTunoraWindow::SetServiceText(const QString& text) {
    display_.SetServiceText(text);
}

void TTunoraWindow::UpdateServiceIcons(std::int32_t serviceId) {
    display_.UpdateServiceIcons(serviceId);
}

void TTunoraWindow::UpdateAudioInfo() {
    display_.UpdateAudioInfo();
}

void TTunoraWindow::ApplyScrollSettings() {
    labelDrawer_->SetScrollJump(settings_.ReadInteger(Setting::ScrollJump));
    labelDrawer_->SetScrollSpeed(settings_.ReadInteger(Setting::ScrollSpeed));
}

void TTunoraWindow::SettingsChanged() {
    UpdateServiceIcons(display_.ShownService());
    control_.SetShowAudioInfo(settings_.ReadBool(Setting::ShowAudioInfo));
    display_.DropAudioInfo();
    ApplyScrollSettings();
    update();
}

void TTunoraWindow::ExpandBar() {
    animator_.Expand();
}

void TTunoraWindow::CollapseBar() {
    animator_.Collapse();
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
    menus_.Open(quick, QPoint(x, y));
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
    tray_.Refresh();
}

void TTunoraWindow::AddServiceItems(QMenu* parent, const TListEntries& list) {
    menus_.AddServiceItems(parent, list);
}

void TTunoraWindow::AddSeparatorItem(QMenu* parent) {
    menus_.AddSeparatorItem(parent);
}

void TTunoraWindow::BuildMainMenu() {
    menus_.BuildMainMenu();
}

void TTunoraWindow::BuildQuickMenu() {
    menus_.BuildQuickMenu();
}

void TTunoraWindow::TheTimerTimer() {
    display_.FollowController();
    if (power_) {
        power_->SetBlocking(QuerySuspendDenied());
    }
    if (isVisible()) {
        display_.Tick();
    }
}

void TTunoraWindow::TaskbarTimerTimer() {
    tray_.ClickTimer().stop();
    if (animator_.Expanded()) {
        MinimizeBarAction->trigger();
    } else {
        RestoreBarAction->trigger();
    }
}

void TTunoraWindow::TrayIconMessage(int mouseMessage) {
    switch (mouseMessage) {
        case TTrayIcon::kLeftButtonUp:
            tray_.ToggleClickTimer();
            break;
        case TTrayIcon::kLeftDoubleClick:
            tray_.CancelClick();
            PopupMenuAt(QCursor::pos().x(), QCursor::pos().y(), true);
            break;
        case TTrayIcon::kRightButtonUp:
            PopupMenuAt(QCursor::pos().x(), QCursor::pos().y(), false);
            break;
        default:
            break;
    }
}

void TTunoraWindow::HyperlinkCheck(const QPoint& global) {
    const std::optional<int> column = Layout().LabelColumnAt(mapFromGlobal(global));
    QString link;
    if (labelDrawer_ && column) {
        link = labelDrawer_->HotspotAt(*column);
    }
    // Only web and mail addresses are offered: a label is anybody's broadcast.
    if (!link.isEmpty() && IsOpenableLink(MakeLinkTarget(link))) {
        hyperlinkTarget_ = MakeLinkTarget(link);
        HyperlinkAction->setText(TBarMenus::Literal(hyperlinkTarget_));
        HyperlinkAction->setVisible(true);
        PopupMenuAt(global.x(), global.y(), true);
        HyperlinkAction->setVisible(false);
    } else {
        PopupMenuAt(global.x(), global.y(), true);
    }
}

TTunoraWindow::HitArea TTunoraWindow::HitTest(const QPoint& client) const {
    return Layout().HitTest(client);
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
    return QString::number(display_.PowerLevel()) + u'%';
}

void TTunoraWindow::Quit() {
    terminating_ = true;
    CollapseBar();
    QApplication::quit();
}

void TTunoraWindow::OptionsActionExecute() {
    Dialogs::ShowFailures([&] { TOptionsForm::ShowOptions(tables_, settings_, control_, this); });
}

void TTunoraWindow::TimerActionExecute() {
    Dialogs::ShowFailures([&] { TScheduleForm::ShowSchedule(tables_, settings_, this); });
}

void TTunoraWindow::ListActionExecute() {
    TFullListForm::ShowFullList(tables_, settings_, control_, this);
}

void TTunoraWindow::ScanActionExecute() {
    TScanForm::ShowScanWindow(control_, tables_, this);
}

void TTunoraWindow::RecordActionExecute() {
    menuBusy_ = true;
    const std::int32_t current = control_.CurrentService();
    if (RecordManager) {
        Dialogs::ShowFailures([&] { RecordManager->ToggleRecording(current); });
    } else {
        qInfo("Tunora: recording is not available in this build");
    }
    RecordAction->setChecked(TBarMenus::IsRecording(current));
    menuBusy_ = false;
    BringBarToFront();
}

void TTunoraWindow::QuietActionExecute() {
    StartService(0);
}

void TTunoraWindow::RestoreBarActionExecute() {
    Dialogs::ShowFailures([this] { settings_.WriteBool(Setting::HideBar, false); });
    ExpandBar();
}

void TTunoraWindow::MinimizeBarActionExecute() {
    // Hidden without a notification area, the bar could not be brought back (and would stay
    // hidden at the next start): it stays.
    if (!TTrayIcon::IsAvailable()) {
        return;
    }
    Dialogs::ShowFailures([this] { settings_.WriteBool(Setting::HideBar, true); });
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
    Quit();
}

void TTunoraWindow::HyperlinkActionExecute() {
    if (IsOpenableLink(hyperlinkTarget_)) {
        QDesktopServices::openUrl(QUrl(hyperlinkTarget_));
    }
}

TBarLayout TTunoraWindow::Layout() const {
    return TBarLayout(width(), height());
}

QRect TTunoraWindow::DSLImageRect() const {
    return Layout().DSLImageRect();
}

void TTunoraWindow::ApplyShape() {
    setMask(TBarPainter::Shape(Layout()));
}

bool TTunoraWindow::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QRect meter = Layout().MeterRect();
        if (meter.contains(help->pos())) {
            QToolTip::showText(help->globalPos(), PowerHint(), this, meter);
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
        Quit();
        event->accept();
    } else {
        event->ignore();
    }
}

void TTunoraWindow::resizeEvent(QResizeEvent*) {
    ApplyShape();
}

void TTunoraWindow::showEvent(QShowEvent*) {
    BringBarToFront();
    theTimer_.setInterval(kShownInterval);
    labelDrawer_->Reset();
    // The window is exposed (or covered, or minimised by the desktop) after it is shown.
    if (!exposureWatched_ && windowHandle() != nullptr) {
        windowHandle()->installEventFilter(this);
        exposureWatched_ = true;
    }
    FollowVisibility();
}

void TTunoraWindow::hideEvent(QHideEvent*) {
    theTimer_.setInterval(kHiddenInterval);
    labelDrawer_->Suspend();
}

bool TTunoraWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Expose && watched == windowHandle()) {
        FollowVisibility();
    }
    return QWidget::eventFilter(watched, event);
}

bool TTunoraWindow::CanBeSeen() const {
    return !headless_ && isVisible() && windowHandle() != nullptr && windowHandle()->isExposed();
}

void TTunoraWindow::SetHeadless(bool headless) {
    headless_ = headless;
    FollowVisibility();
}

void TTunoraWindow::FollowVisibility() {
    if (!labelDrawer_) {
        return;
    }
    if (CanBeSeen()) {
        labelDrawer_->Resume();
    } else {
        labelDrawer_->Suspend();
    }
}

void TTunoraWindow::paintEvent(QPaintEvent* event) {
    if (headless_) {
        return;
    }
    QPainter painter(this);
    const TBarLayout layout = Layout();
    const QRect label = layout.DSLImageRect();
    if (!label.contains(event->rect())) {
        painter.setFont(font());
        painter_.Paint(painter, layout, display_.View());
    }
    if (label.intersects(event->rect())) {
        labelCanvas_->DrawOn(painter);
    }
}

void TTunoraWindow::mousePressEvent(QMouseEvent* event) {
    const QPoint global = event->globalPosition().toPoint();
    if (event->button() == Qt::RightButton) {
        PopupMenuAt(global.x(), global.y(), false);
    } else if (event->button() == Qt::LeftButton) {
        const HitArea area = HitTest(event->position().toPoint());
        if (area == HitArea::MinimiseBox) {
            MinimizeBarAction->trigger();
        } else {
            frame_.Press(area, global);
        }
    }
}

void TTunoraWindow::mouseMoveEvent(QMouseEvent* event) {
    frame_.Move(HitTest(event->position().toPoint()), event->globalPosition().toPoint());
}

void TTunoraWindow::mouseReleaseEvent(QMouseEvent*) {
    frame_.Release();
}

void TTunoraWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    frame_.Release();
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
        const QPoint at = pos() + kQuickMenuKeyOffset;
        PopupMenuAt(at.x(), at.y(), true);
    } else {
        QWidget::keyPressEvent(event);
    }
}

void TTunoraWindow::keyReleaseEvent(QKeyEvent* event) {
    const auto modifiers =
        event->modifiers() & (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier);
    if (modifiers == Qt::NoModifier && !event->isAutoRepeat() &&
        (event->key() == Qt::Key_F10 || event->key() == Qt::Key_Menu)) {
        const QPoint at = pos() + kMainMenuKeyOffset;
        PopupMenuAt(at.x(), at.y(), false);
        return;
    }
    QWidget::keyReleaseEvent(event);
}

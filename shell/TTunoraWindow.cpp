#include "shell/TTunoraWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSystemTrayIcon>
#include <QThread>
#include <QWindow>

#include "platform/Dialogs.h"
#include "platform/HandOverServer.h"
#include "receiver/TMainControl.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"
#include "shell/CommandLine.h"
#include "shell/GuiImages.h"
#include "shell/Startup.h"

TTunoraWindow* TunoraWindow = nullptr;

TTunoraWindow::TTunoraWindow(TServiceTablesWrapper& tables, TSettingsWrapper& settings,
                             TMainControl& control, QStringList arguments, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool),
      tables_(tables),
      settings_(settings),
      control_(control),
      arguments_(std::move(arguments)) {
    setObjectName(QStringLiteral("TTunoraWindow"));
    setWindowTitle(QStringLiteral("Tunora"));
    setWindowIcon(GuiImages::MainIcon());

    handOver_ = std::make_unique<HandOverServer>(
        [this](int wParam, std::int64_t lParam, const QString& text) {
            return HandOverMessage(wParam, lParam, text);
        });
    if (!handOver_->Listen()) {
        qWarning("Tunora: later starts cannot hand their command line over (no hand-over socket)");
    }

    resize(settings_.ReadInteger(QStringLiteral("Width")), 56);
    move(settings_.ReadInteger(QStringLiteral("Left")),
         settings_.ReadInteger(QStringLiteral("Top")));
    ApplyShape();

    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        trayIcon_ = new QSystemTrayIcon(GuiImages::MainIcon(), this);
        trayMenu_ = new QMenu(this);
        trayMenu_->addAction(QStringLiteral("E&xit"), this, [this] { ExitActionExecute(); });
        trayIcon_->setContextMenu(trayMenu_);
        trayIcon_->setToolTip(QStringLiteral("Tunora"));
        connect(trayIcon_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger) {
                        barExpanded_ ? CollapseBar() : ExpandBar();
                    }
                });
        trayIcon_->show();
    }

    serviceText_ = QStringLiteral("Tunora ") + QString::fromLatin1(Startup::Version);

    if (tables_.CountServices(u'A') == 0) {
        if (Dialogs::Instance().MessageBox(
                DialogKind::Confirmation,
                QStringLiteral("No services found. \n\rDo you want to scan for them now?"),
                DialogButtons::YesNo) == DialogResult::Yes) {
            ScanActionExecute();
        }
    }

    if (arguments_.size() > 1) {
        ProcessCommandLine(CommandLine::Join(arguments_));
    } else if (settings_.ReadBool(QStringLiteral("PlayOnStartup"))) {
        StartService(tables_.FindServiceByKey(settings_.ReadString(QStringLiteral("Playing"))));
    }
    TunoraWindow = this;
}

TTunoraWindow::~TTunoraWindow() {
    TunoraWindow = nullptr;
    handOver_.reset();
    settings_.WriteInteger(QStringLiteral("Width"), width());
    settings_.WriteInteger(QStringLiteral("Top"), y());
    settings_.WriteInteger(QStringLiteral("Left"), x());
    try {
        control_.PlayService(0, false);
    } catch (const std::exception&) {
        // Shutting down: the receiver goes next anyway.
    }
    if (trayIcon_) {
        trayIcon_->hide();
    }
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
            result = settings_.ReadInteger(QStringLiteral("ServerPort"));
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
        control_.PlayService(serviceId, settings_.ReadBool(QStringLiteral("ShowAudioInfo")));
    } catch (const std::exception& error) {
        // A receiver failure is reported like any other error; the program goes on.
        Dialogs::Instance().MessageBox(DialogKind::Error, QString::fromLocal8Bit(error.what()),
                                       DialogButtons::Ok);
    }
    settings_.WriteString(QStringLiteral("Playing"), tables_.GetServiceKey(serviceId, true, u':'));
    const QString label = tables_.GetServiceLabel(serviceId);
    serviceText_ =
        label.isEmpty() ? QStringLiteral("Tunora ") + QString::fromLatin1(Startup::Version) : label;
    setWindowTitle(label.isEmpty() ? QStringLiteral("Tunora")
                                   : QStringLiteral("Tunora [") + label + u']');
    RefreshTrayIcon();
    update();
    Q_EMIT ServiceStarted(serviceId);
}

void TTunoraWindow::ExpandBar() {
    if (barExpanded_) {
        return;
    }
    barExpanded_ = true;
    show();
    raise();
}

void TTunoraWindow::CollapseBar() {
    if (!barExpanded_) {
        return;
    }
    barExpanded_ = false;
    hide();
}

void TTunoraWindow::RefreshTrayIcon() {
    if (!trayIcon_) {
        return;
    }
    const QString tip = windowTitle().left(63);
    trayIcon_->setToolTip(tip);
}

void TTunoraWindow::Terminate() {
    terminating_ = true;
    CollapseBar();
    QApplication::quit();
}

void TTunoraWindow::ExitActionExecute() {
    CollapseBar();
    QApplication::quit();
}

void TTunoraWindow::ScanActionExecute() {
    // The scan window arrives with scanning; until then the question has nothing to open.
    qInfo("Tunora: scanning is not available yet");
}

void TTunoraWindow::closeEvent(QCloseEvent* event) {
    if (terminating_) {
        event->accept();
        return;
    }
    if (Dialogs::Instance().MessageBox(DialogKind::Confirmation,
                                       QStringLiteral("Do you want to exit Tunora?"),
                                       DialogButtons::OkCancel) == DialogResult::Ok) {
        CollapseBar();
        event->accept();
        QApplication::quit();
    } else {
        event->ignore();
    }
}

void TTunoraWindow::ApplyShape() {
    // Union of a rounded square at the left (the genre picture's circular end) and the bar.
    const int w = width();
    const int h = height();
    const int r = h * 44 / 56;
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, h + 1, h + 1), r / 2.0, r / 2.0);
    QPainterPath bar;
    bar.addRoundedRect(QRectF(52, 0, w + 1 - 52, h + 1), r / 2.0, r / 2.0);
    setMask(QRegion(path.united(bar).toFillPolygon().toPolygon()));
}

void TTunoraWindow::resizeEvent(QResizeEvent*) {
    ApplyShape();
}

void TTunoraWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x1f, 0x2a, 0x38));
    painter.setPen(Qt::white);
    painter.drawText(rect().adjusted(64, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft, serviceText_);
}

void TTunoraWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && windowHandle()) {
        windowHandle()->startSystemMove();
    }
}

// Tunora's entry point: the start-up order and the orderly shut-down.

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSysInfo>
#include <QTimeZone>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "http/THTTPServerManager.h"
#include "platform/Dialogs.h"
#include "platform/Formats.h"
#include "platform/HandOverClient.h"
#include "platform/HandOverProtocol.h"
#include "platform/InstanceLock.h"
#include "platform/ProgramFolder.h"
#include "platform/RegistryKey.h"
#include "receiver/ReceiverError.h"
#include "receiver/TMainControl.h"
#include "receiver/TReceiverComponent.h"
#include "receiver/TViaDABWrapper.h"
#include "recording/CodecAvailability.h"
#include "recording/TRecoderObject.h"
#include "recording/TRecordManager.h"
#include "scheduler/TSystemdWakeup.h"
#include "scheduler/TTimerManager.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"
#include "shell/CommandLine.h"
#include "shell/PlayingNotice.h"
#include "shell/QtDialogs.h"
#include "shell/Startup.h"
#include "shell/TBarCommands.h"
#include "shell/TLogindPower.h"
#include "shell/TSplashForm.h"
#include "shell/TTunoraWindow.h"
#include "shell/TerminationSignals.h"
#include "shell/TimerBeep.h"
#include "windows/TServicePictures.h"

namespace {

// systemctl answers at once when it works at all.
constexpr int kSystemctlTimeoutMs = 10000;

// Without a display the program runs on Qt's offscreen platform: the windows exist but nobody
// sees them, and message boxes go to standard error.
bool PrepareHeadless() {
    if (std::getenv("QT_QPA_PLATFORM")) {
        const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
        return platform.startsWith("offscreen") || platform.startsWith("minimal");
    }
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return true;
    }
    return false;
}

// Owns one long-lived object and publishes it through its global pointer while it lives: the
// pointer is cleared before the object goes. Declared in creation order, these are destroyed in
// the reverse order, also when start-up gives up half-way or throws. An owner given no object
// leaves the pointer null.
template <class T>
class GlobalInstance {
public:
    GlobalInstance(T*& global, std::unique_ptr<T> object)
        : global_(global), object_(std::move(object)) {
        global_ = object_.get();
    }
    ~GlobalInstance() {
        global_ = nullptr;
        object_.reset();
    }
    GlobalInstance(const GlobalInstance&) = delete;
    GlobalInstance& operator=(const GlobalInstance&) = delete;

    explicit operator bool() const { return object_ != nullptr; }
    T& operator*() const { return *object_; }
    T* operator->() const { return object_.get(); }

private:
    T*& global_;
    std::unique_ptr<T> object_;
};

// The receiver wrapper, or null after telling the user why the component failed.
std::unique_ptr<TViaDABWrapper> CreateReceiverWrapper() {
    try {
        return std::make_unique<TViaDABWrapper>(
            [] { return TReceiverComponent::CreateRegistered(); });
    } catch (const ReceiverError& error) {
        Dialogs::Instance().MessageBox(DialogKind::Error, QString::fromLocal8Bit(error.what()),
                                       DialogButtons::Abort);
        return nullptr;
    }
}

// Without a display nobody sees the bar: each service started is told on standard output, with
// where to listen to it.
void AnnouncePlaying(const TServiceTablesWrapper& tables, const TSettingsWrapper& settings,
                     const THTTPServerManager& servers, std::int32_t serviceId) {
    int port = 0;
    try {
        port = servers.Server() != nullptr ? settings.ReadInteger(Setting::ServerPort) : 0;
    } catch (const std::exception&) {
    }
    const QString line = PlayingNotice::Line(tables, serviceId, QSysInfo::machineHostName(), port);
    if (!line.isEmpty()) {
        std::printf("%s\n", line.toLocal8Bit().constData());
        std::fflush(stdout);
    }
}

QStringList Arguments(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i) {
        args.append(QString::fromLocal8Bit(argv[i]));
    }
    return args;
}

}  // namespace

int main(int argc, char** argv) {
    // Which recording formats exist is settled once, before anything else runs.
    ProbeCodecs();

    QStringList arguments = Arguments(argc, argv);
    if (Startup::IsRecodeCommand(arguments)) {
        return RunRecodeMode(arguments);
    }

    const bool headless = PrepareHeadless();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tunora"));
    QApplication::setQuitOnLastWindowClosed(false);
    // After the application object, which adopts the user's locale.
    SetProcessFormats();
    QtDialogs qtDialogs;
    if (!headless) {
        Dialogs::Install(&qtDialogs);
    }

    const int showCommand = CommandLine::TakeShowCommand(arguments);
    arguments[0] = ProgramFolder::ExecutablePath();

    if (!TReceiverComponent::IsInstalled()) {
        Dialogs::Instance().MessageBox(
            DialogKind::Error,
            QStringLiteral("Drivers not installed.\n\rPlease install the software that came with "
                           "you DAB receiver."),
            DialogButtons::Abort);
        return 1;
    }

    InstanceLock lock;
    if (!lock.TryAcquire()) {
        const QString line = CommandLine::Join(arguments);
        if (line.size() > HandOverProtocol::kMaxTextLength) {
            std::fprintf(stderr,
                         "Tunora: the command line is longer than 255 characters and was not "
                         "handed over.\n");
        } else {
            // The show command rides along: without a notification area, --maximized (like
            // a start without arguments) brings the running instance's bar back.
            HandOverClient::Send(TBarCommands::kCommandLine, showCommand, line);
        }
        return 0;
    }

    auto splash = std::make_unique<TSplashForm>();
    if (!headless) {
        splash->show();
        splash->repaint();
        QApplication::processEvents();
    }

    int monitorTop = 0;
    int monitorWidth = 1024;
    if (const QList<QScreen*> screens = QGuiApplication::screens(); !screens.isEmpty()) {
        monitorTop = screens.first()->geometry().top();
        monitorWidth = screens.first()->geometry().width();
    }

    // The termination signals are caught from the bar's first showing until every object below
    // is gone.
    std::optional<TerminationSignals> termination;
    GlobalInstance<TServiceTablesWrapper> tables(
        ServiceTables,
        std::make_unique<TServiceTablesWrapper>(ProgramFolder::Path(), Dialogs::Instance()));
    // The service pictures (Branding folder, genre, product) serve the bar, the pages and icons.
    GlobalInstance<TServicePictures> pictures(
        ServicePictures,
        std::make_unique<TServicePictures>(*tables, TServicePictures::DefaultBrandingFolder()));
    GlobalInstance<TSettingsWrapper> settings(
        Settings, std::make_unique<TSettingsWrapper>(
                      RegistryKey(RegistryKey::HiveFile(RegistryKey::Hive::User),
                                  TSettingsWrapper::KeyPath()),
                      RegistryKey(RegistryKey::HiveFile(RegistryKey::Hive::Machine),
                                  TSettingsWrapper::KeyPath()),
                      *tables, monitorTop, monitorWidth));
    // A mistyped settings file is reported here once; its values read as their defaults.
    Startup::ReportInvalidSettings(*settings, Dialogs::Instance());
    GlobalInstance<TViaDABWrapper> wrapper(ViaDABWrapper, CreateReceiverWrapper());
    if (!wrapper) {
        return 1;
    }
    GlobalInstance<TMainControl> control(MainControl,
                                         std::make_unique<TMainControl>(*wrapper, *tables));
    // Its destruction stops every recording (closing or converting its file) while the receiver
    // still exists.
    GlobalInstance<TRecordManager> recordManager(
        RecordManager, std::make_unique<TRecordManager>(*control, *tables, *settings));
    // The bar publishes itself (TunoraWindow) once its creation is complete.
    const std::unique_ptr<TTunoraWindow> bar =
        std::make_unique<TTunoraWindow>(*tables, *settings, *control, arguments);
    // Every save of the schedule rebuilds the user's systemd timer that wakes the machine.
    TSystemdWakeup wakeup(ProgramFolder::ExecutablePath(), TSystemdWakeup::UserUnitFolder(),
                          QTimeZone::systemTimeZone(),
                          TSystemdWakeup::ProcessRunner(kSystemctlTimeoutMs));
    // Its destruction stops every timed recording while the tuning controller still exists.
    GlobalInstance<TTimerManager> timerManager(
        TimerManager,
        std::make_unique<TTimerManager>(*control, *tables, *settings, wakeup, TTimerClock::System(),
                                        MakeTimerBeep(headless)));
    // The minute timer does not run while the machine sleeps: tick as soon as it wakes, after
    // the bar has taken the receiver back.
    TLogindPower resume([&timerManager](bool suspending) {
        if (!suspending) {
            QMetaObject::invokeMethod(
                &*timerManager, [&timerManager] { timerManager->MinuteTimerTimer(); },
                Qt::QueuedConnection);
        }
    });
    // Starts the server when "ServerPort" is not 0; the options window restarts it through the
    // global. Its destruction ends every session while the tuning controller still exists.
    GlobalInstance<THTTPServerManager> server(
        HTTPServerManager, std::make_unique<THTTPServerManager>(*settings, *tables, *control));

    splash.reset();

    Startup::WriteProgramIdentity(*settings, ProgramFolder::ExecutablePath());
    Startup::ReportMissingMachineDefaults(
        *settings, QFileInfo(ProgramFolder::ExecutablePath()).absolutePath() +
                       QStringLiteral("/tunora-register-receiver"));
    if (headless) {
        // The bar ran the start's own command line while it was made.
        AnnouncePlaying(*tables, *settings, *server, control->CurrentService());
        QObject::connect(bar.get(), &TTunoraWindow::ServiceStarted, bar.get(),
                         [&tables, &settings, &server](std::int32_t serviceId) {
                             AnnouncePlaying(*tables, *settings, *server, serviceId);
                         });
    }
    Startup::ApplyShowCommand(*settings, showCommand);
    if (!settings->ReadBool(Setting::HideBar)) {
        bar->ExpandBar();
    }

    termination.emplace();
    QObject::connect(&*termination, &TerminationSignals::TerminationRequested, bar.get(),
                     [&bar](int) { bar->Quit(); });

    // The instance lock goes last, after every object above: a start in the meantime hands over
    // (to nobody) instead of taking the lock and having its socket removed by this instance.
    return QApplication::exec();
}

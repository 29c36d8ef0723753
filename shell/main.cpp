// Tunora's entry point: the start-up order and the orderly shut-down.

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "http/THTTPServer.h"
#include "platform/Dialogs.h"
#include "platform/Formats.h"
#include "platform/HandOverClient.h"
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
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"
#include "shell/CommandLine.h"
#include "shell/QtDialogs.h"
#include "shell/Startup.h"
#include "shell/TSplashForm.h"
#include "shell/TTunoraWindow.h"
#include "shell/TerminationSignals.h"
#include "windows/TServicePictures.h"

namespace {

const QString SettingsKeyPath = QStringLiteral("Software\\Tunora\\Tunora");

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

    if (!Startup::IsReceiverInstalled()) {
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
        if (line.size() > 255) {
            std::fprintf(stderr,
                         "Tunora: the command line is longer than 255 characters and was not "
                         "handed over.\n");
        } else {
            HandOverClient::Send(1, 0, line);
        }
        return 0;
    }

    auto splash = std::make_unique<TSplashForm>();
    if (!headless) {
        splash->show();
        splash->repaint();
        QApplication::processEvents();
    }
    QApplication::setApplicationDisplayName(QStringLiteral("Tunora"));

    int monitorTop = 0;
    int monitorWidth = 1024;
    if (const QList<QScreen*> screens = QGuiApplication::screens(); !screens.isEmpty()) {
        monitorTop = screens.first()->geometry().top();
        monitorWidth = screens.first()->geometry().width();
    }

    auto tables =
        std::make_unique<TServiceTablesWrapper>(ProgramFolder::Path(), Dialogs::Instance());
    ServiceTables = tables.get();
    // The service pictures (Branding folder, genre, product) serve the bar, the pages and icons.
    auto pictures =
        std::make_unique<TServicePictures>(*tables, TServicePictures::DefaultBrandingFolder());
    ServicePictures = pictures.get();
    auto settings = std::make_unique<TSettingsWrapper>(
        RegistryKey(RegistryKey::HiveFile(RegistryKey::Hive::User), SettingsKeyPath),
        RegistryKey(RegistryKey::HiveFile(RegistryKey::Hive::Machine), SettingsKeyPath), *tables,
        monitorTop, monitorWidth);
    Settings = settings.get();
    std::unique_ptr<TViaDABWrapper> wrapper;
    try {
        wrapper =
            std::make_unique<TViaDABWrapper>([] { return TReceiverComponent::CreateRegistered(); });
    } catch (const ReceiverError& error) {
        Dialogs::Instance().MessageBox(DialogKind::Error, QString::fromLocal8Bit(error.what()),
                                       DialogButtons::Abort);
        return 1;
    }
    ViaDABWrapper = wrapper.get();
    auto control = std::make_unique<TMainControl>(*wrapper, *tables);
    MainControl = control.get();
    auto recordManager = std::make_unique<TRecordManager>(*control, *tables, *settings);
    RecordManager = recordManager.get();
    auto bar = std::make_unique<TTunoraWindow>(*tables, *settings, *control, arguments);
    std::unique_ptr<THTTPServer> server;
    if (settings->ReadInteger(Setting::ServerPort) != 0) {
        server = std::make_unique<THTTPServer>(*settings, *tables, *control);
        HTTPServer = server.get();
    }

    splash.reset();

    Startup::WriteProgramIdentity(*settings, ProgramFolder::ExecutablePath());
    Startup::ApplyShowCommand(*settings, showCommand);
    if (!settings->ReadBool(Setting::HideBar)) {
        bar->ExpandBar();
    }

    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::TerminationRequested, bar.get(),
                     [&bar](int) { bar->Quit(); });

    const int result = QApplication::exec();

    lock.Release();
    // Every session ends here, while the tuning controller still exists.
    HTTPServer = nullptr;
    server.reset();
    bar.reset();
    // Stops every recording (closing or converting its file) while the receiver still exists.
    RecordManager = nullptr;
    recordManager.reset();
    MainControl = nullptr;
    control.reset();
    ViaDABWrapper = nullptr;
    wrapper.reset();
    Settings = nullptr;
    settings.reset();
    ServicePictures = nullptr;
    pictures.reset();
    ServiceTables = nullptr;
    tables.reset();
    return result;
}

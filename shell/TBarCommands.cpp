#include "shell/TBarCommands.h"

#include <QThread>
#include <exception>
#include <functional>

#include "platform/Dialogs.h"
#include "receiver/RetuneQuestion.h"
#include "receiver/TMainControl.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"
#include "shell/CommandLine.h"

TBarCommands::TBarCommands(TServiceTablesWrapper& tables, TSettingsWrapper& settings,
                           TMainControl& control, std::function<void(std::int32_t)> onStarted)
    : tables_(tables),
      settings_(settings),
      control_(control),
      onStarted_(std::move(onStarted)),
      thread_(QThread::currentThread()) {}

void TBarCommands::StartService(std::int32_t serviceId) {
    Q_ASSERT(QThread::currentThread() == thread_);
    if (serviceId == control_.CurrentService()) {
        return;
    }
    if (!ConfirmRetune(control_, serviceId)) {
        return;
    }
    // A refused settings write or a receiver failure is reported like any other error; the
    // service is played (or stopped) all the same.
    Dialogs::ShowFailures([&] { settings_.AddRecent(serviceId); });
    Dialogs::ShowFailures(
        [&] { control_.PlayService(serviceId, settings_.ReadBool(Setting::ShowAudioInfo)); });
    Dialogs::ShowFailures([&] {
        settings_.WriteString(Setting::Playing, tables_.GetServiceKey(serviceId, true, u':'));
    });
    onStarted_(serviceId);
}

void TBarCommands::ProcessCommandLine(const QString& text) {
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

int TBarCommands::HandOverMessage(int wParam, std::int64_t lParam, const QString& text) {
    Q_ASSERT(QThread::currentThread() == thread_);
    switch (wParam) {
        case kPlaySId: {
            // An SId is 32 bits wide; anything else finds no service and stops playing.
            const std::int32_t id = lParam > 0 && lParam <= 0xFFFFFFFFLL
                                        ? tables_.FindService(static_cast<std::uint32_t>(lParam), 0)
                                        : 0;
            StartService(id);
            return 0;
        }
        case kCommandLine:
            ProcessCommandLine(text);
            return 0;
        case kServerPort:
            return settings_.ReadInteger(Setting::ServerPort);
        default:
            return kUnknownCommand;
    }
}

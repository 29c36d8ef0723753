#pragma once

#include <QString>
#include <cstdint>
#include <functional>

class QThread;

class TMainControl;
class TServiceTablesWrapper;
class TSettingsWrapper;

// How the bar acts on a request to play: a service chosen by the user (with the retune
// questions), a command line, and the hand-over message of later instances. Main thread only.
class TBarCommands {
public:
    // The hand-over message's wParam values.
    static constexpr int kPlaySId = 0;
    static constexpr int kCommandLine = 1;
    static constexpr int kServerPort = 2;
    // The answer to a wParam the message does not know.
    static constexpr int kUnknownCommand = -1;

    // `onStarted` runs after a service was started (0: playing stopped).
    TBarCommands(TServiceTablesWrapper& tables, TSettingsWrapper& settings, TMainControl& control,
                 std::function<void(std::int32_t serviceId)> onStarted);

    // Starts `serviceId` unless it is current or the user declines retuning; 0 stops playing.
    // Remembers it among the recents and as "Playing".
    void StartService(std::int32_t serviceId);
    // `text`: a raw command line, program path first.
    void ProcessCommandLine(const QString& text);
    // Acts on one hand-over message and returns its result: kPlaySId plays the primary service
    // of SId `lParam`, kCommandLine reads the command line `text`, kServerPort answers
    // "ServerPort".
    int HandOverMessage(int wParam, std::int64_t lParam, const QString& text);

private:
    TServiceTablesWrapper& tables_;
    TSettingsWrapper& settings_;
    TMainControl& control_;
    std::function<void(std::int32_t)> onStarted_;
    // The thread that created this object, the only one that may use it.
    QThread* thread_;
};

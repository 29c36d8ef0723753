#pragma once

#include <QString>
#include <QStringList>

class TSettingsWrapper;

// The start-up steps that need no window: testable without a display.
class Startup {
public:
    // The first argument after the program's path is the word RECODE (any letter case).
    static bool IsRecodeCommand(const QStringList& arguments);

    // "Executable", "Directory" (with its trailing separator) and "Version"; a refused write is
    // ignored so that start-up goes on.
    static void WriteProgramIdentity(TSettingsWrapper& settings, const QString& executable);

    // Show command 3 (maximised) shows the bar from now on, 7 (minimised) hides it.
    static void ApplyShowCommand(TSettingsWrapper& settings, int showCommand);
};

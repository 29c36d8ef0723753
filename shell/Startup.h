#pragma once

#include <QString>
#include <QStringList>

class Dialogs;
class RegistryKey;
class TSettingsWrapper;

// The start-up steps that need no window: testable without a display.
class Startup {
public:
    // The first argument after the program's path is the word RECODE (any letter case).
    static bool IsRecodeCommand(const QStringList& arguments);

    // "Executable", "Directory" (with its trailing separator) and "Version"; a refused write is
    // ignored so that start-up goes on.
    static void WriteProgramIdentity(TSettingsWrapper& settings, const QString& executable);

    // Shows one error box per setting stored with the wrong type (its error text); those read
    // as their defaults from then on.
    static void ReportInvalidSettings(TSettingsWrapper& settings, Dialogs& dialogs);

    // Show command 3 (maximised) shows the bar from now on, 7 (minimised) hides it. A refused
    // write is shown, not raised: the bar then follows the stored value.
    static void ApplyShowCommand(TSettingsWrapper& settings, int showCommand);

    // Writes the machine-wide values that the first start creates ("ServerPort" 8080, a fresh
    // 16-character "ServerPassword") where they do not exist; existing ones are kept. Answers
    // the names written. A refused write raises RegistryError. The installation runs this as
    // root, since only root may write the machine-wide hive.
    static QStringList CreateMachineDefaults(RegistryKey& machineKey);

    // When the machine-wide defaults are still missing after the settings were opened (this
    // user may not create them), says so once as a warning box naming the values, the hive and
    // the command that creates them (`registerCommand`, run with sudo). Answers whether it did.
    static bool ReportMissingMachineDefaults(const TSettingsWrapper& settings,
                                             const QString& registerCommand);
};

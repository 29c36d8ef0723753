#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <mutex>

#include "platform/RegistryKey.h"
#include "services/SettingName.h"
#include "services/TListEntry.h"

class TServiceTablesWrapper;

// The program's persistent settings under "\Software\Tunora\Tunora", split between the per-user
// and the machine-wide hive by value name. Every read goes to the hive (nothing is cached).
// Main thread, except the plain reads, which any thread may make.
//
// A value stored with the wrong type (a mistyped settings file) never raises: it reads as the
// setting's default, and its error text ("Invalid data type for '%s'") is kept for
// TakeInvalidValues, once per name. A wrong-typed "ServerPassword" reads as a password drawn for
// this run, so the server goes on serving this machine and asks everyone else for a password
// nobody can give, instead of failing every request.
class TSettingsWrapper {
public:
    // Writes the created defaults that do not exist yet. `firstMonitorTop` and
    // `firstMonitorWidth` (pixels) place the bar's default position.
    TSettingsWrapper(RegistryKey userKey, RegistryKey machineKey,
                     const TServiceTablesWrapper& tables, int firstMonitorTop,
                     int firstMonitorWidth);

    // The key both hives hold the settings under: "\Software\Tunora\Tunora".
    static QString KeyPath();
    static bool IsMachineWide(SettingName name);
    static QString GeneratePassword(int length);

    QString ReadString(SettingName name) const;
    void WriteString(SettingName name, const QString& value);
    std::int32_t ReadInteger(SettingName name) const;
    void WriteInteger(SettingName name, std::int32_t value);
    bool ReadBool(SettingName name) const;
    void WriteBool(SettingName name, bool value);
    bool ValueExists(SettingName name) const;

    // Reads every setting the program uses with its type and returns the error texts of the
    // wrong-typed values not returned before (each name once per run).
    QStringList TakeInvalidValues();

    bool IsFavourite(std::int32_t serviceId) const;
    void SetFavourite(std::int32_t serviceId, bool on);
    void AddRecent(std::int32_t serviceId);
    void GetFavourites(TListEntries& list) const;
    void GetRecents(TListEntries& list, bool numbered) const;

private:
    RegistryKey& KeyFor(SettingName name);
    const RegistryKey& KeyFor(SettingName name) const;
    // The created default of an integer setting, else 0.
    std::int32_t DefaultInteger(SettingName name) const;
    void NoteInvalid(SettingName name, const char* error) const;

    RegistryKey userKey_;
    RegistryKey machineKey_;
    const TServiceTablesWrapper& tables_;
    const int defaultTop_;
    const int defaultLeft_;
    const QString runPassword_;
    mutable std::mutex invalidMutex_;
    mutable QStringList invalidNames_;
    mutable QStringList invalidErrors_;
    qsizetype invalidTaken_ = 0;
};

extern TSettingsWrapper* Settings;

#pragma once

#include <QString>
#include <cstdint>

#include "platform/RegistryKey.h"
#include "services/SettingName.h"
#include "services/TListEntry.h"

class TServiceTablesWrapper;

// The program's persistent settings under "\Software\Tunora\Tunora", split between the per-user
// and the machine-wide hive by value name. Every read goes to the hive (nothing is cached).
// Main thread, except the plain reads, which any thread may make.
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

    bool IsFavourite(std::int32_t serviceId) const;
    void SetFavourite(std::int32_t serviceId, bool on);
    void AddRecent(std::int32_t serviceId);
    void GetFavourites(TListEntries& list) const;
    void GetRecents(TListEntries& list, bool numbered) const;

private:
    RegistryKey& KeyFor(SettingName name);
    const RegistryKey& KeyFor(SettingName name) const;

    RegistryKey userKey_;
    RegistryKey machineKey_;
    const TServiceTablesWrapper& tables_;
};

extern TSettingsWrapper* Settings;

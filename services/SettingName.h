#pragma once

#include <QString>

// The value name of one setting. Names exist only as the constants in `Setting` below, so a
// misspelt name fails to compile instead of silently reading a default.
class SettingName {
public:
    constexpr explicit SettingName(const char* name) : name_(name) {}

    QString Text() const;
    bool operator==(const SettingName& other) const;

private:
    const char* name_;
};

// Every setting the program reads or writes. Machine-wide ones are marked (M); the rest live in
// the per-user hive.
namespace Setting {
// Bar window geometry in pixels.
inline constexpr SettingName Width{"Width"};
inline constexpr SettingName Top{"Top"};
inline constexpr SettingName Left{"Left"};
inline constexpr SettingName HideBar{"HideBar"};
// Label scrolling: speed 10..80, jump in pixels per step.
inline constexpr SettingName ScrollSpeed{"ScrollSpeed"};
inline constexpr SettingName ScrollJump{"ScrollJump"};
// Service lists and what the bar shows.
inline constexpr SettingName RecentCount{"RecentCount"};
inline constexpr SettingName Favourites{"Favourites"};
inline constexpr SettingName Recents{"Recents"};
inline constexpr SettingName Playing{"Playing"};
inline constexpr SettingName PlayOnStartup{"PlayOnStartup"};
inline constexpr SettingName ShowAudioInfo{"ShowAudioInfo"};
inline constexpr SettingName ShowSecondaryServices{"ShowSecondaryServices"};
inline constexpr SettingName ChangeTaskBarIcon{"ChangeTaskBarIcon"};
inline constexpr SettingName QuickMenuMode{"QuickMenuMode"};
// Recording: format word, last folder, transcoding targets (kbit/s, Hz; 0 = default).
inline constexpr SettingName DefaultExtension{"DefaultExtension"};
inline constexpr SettingName SaveDir{"SaveDir"};
inline constexpr SettingName BitRate{"BitRate"};
inline constexpr SettingName SamplingFrequency{"SamplingFrequency"};
// Window layouts: comma-separated integers.
inline constexpr SettingName ListSize{"ListSize"};
inline constexpr SettingName ListTop{"ListTop"};
inline constexpr SettingName ListSel{"ListSel"};
inline constexpr SettingName ListSort{"ListSort"};
inline constexpr SettingName ScheduleSize{"ScheduleSize"};
// (M) HTTP server, identity written at every start, timed recordings.
inline constexpr SettingName ServerPort{"ServerPort"};
inline constexpr SettingName ServerPassword{"ServerPassword"};
inline constexpr SettingName Executable{"Executable"};
inline constexpr SettingName Directory{"Directory"};
inline constexpr SettingName Version{"Version"};
inline constexpr SettingName TimerEnabled{"TimerEnabled"};
}  // namespace Setting

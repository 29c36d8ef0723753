#include "services/TSettingsWrapper.h"

#include <QRandomGenerator>
#include <QStringList>
#include <algorithm>
#include <array>
#include <functional>
#include <utility>

#include "platform/RegistryError.h"
#include "services/TServiceTablesWrapper.h"

TSettingsWrapper* Settings = nullptr;

namespace {

constexpr qsizetype kMaxRecents = 16;

QStringList SplitKeys(const QString& stored) {
    QStringList keys;
    for (const QString& key : stored.split(u',', Qt::SkipEmptyParts)) {
        const QString trimmed = key.trimmed();
        if (!trimmed.isEmpty()) {
            keys.append(trimmed);
        }
    }
    return keys;
}

bool ContainsKey(const QStringList& keys, const QString& key) {
    return keys.contains(key, Qt::CaseInsensitive);
}

void RemoveKey(QStringList& keys, const QString& key) {
    keys.removeIf([&key](const QString& k) { return k.compare(key, Qt::CaseInsensitive) == 0; });
}

}  // namespace

TSettingsWrapper::TSettingsWrapper(RegistryKey userKey, RegistryKey machineKey,
                                   const TServiceTablesWrapper& tables, int firstMonitorTop,
                                   int firstMonitorWidth)
    : userKey_(std::move(userKey)),
      machineKey_(std::move(machineKey)),
      tables_(tables),
      defaultTop_(firstMonitorTop + 48),
      defaultLeft_(firstMonitorWidth - 368),
      runPassword_(GeneratePassword(16)) {
    // A hive that refuses the write (typically the machine-wide one for an ordinary user) must
    // not stop the program from starting: that default simply stays absent.
    auto createDefault = [this](SettingName name, const std::function<void()>& write) {
        try {
            if (!ValueExists(name)) {
                write();
            }
        } catch (const RegistryError&) {
        }
    };
    auto integer = [&](SettingName name, std::int32_t value) {
        createDefault(name, [&] { WriteInteger(name, value); });
    };
    for (const SettingName name :
         {Setting::Width, Setting::Top, Setting::Left, Setting::RecentCount, Setting::ScrollSpeed,
          Setting::ScrollJump}) {
        integer(name, DefaultInteger(name));
    }
    createDefault(Setting::ShowSecondaryServices,
                  [&] { WriteBool(Setting::ShowSecondaryServices, false); });
    integer(Setting::ServerPort, DefaultInteger(Setting::ServerPort));
    createDefault(Setting::ServerPassword,
                  [&] { WriteString(Setting::ServerPassword, GeneratePassword(16)); });
}

std::int32_t TSettingsWrapper::DefaultInteger(SettingName name) const {
    static constexpr std::pair<SettingName, std::int32_t> kFixed[] = {{Setting::Width, 320},
                                                                      {Setting::RecentCount, 5},
                                                                      {Setting::ScrollSpeed, 20},
                                                                      {Setting::ScrollJump, 1},
                                                                      {Setting::ServerPort, 8080}};
    if (name == Setting::Top) {
        return defaultTop_;
    }
    if (name == Setting::Left) {
        return defaultLeft_;
    }
    for (const auto& [fixed, value] : kFixed) {
        if (fixed == name) {
            return value;
        }
    }
    return 0;
}

void TSettingsWrapper::NoteInvalid(SettingName name, const char* error) const {
    const std::lock_guard lock(invalidMutex_);
    if (!invalidNames_.contains(name.Text())) {
        invalidNames_.append(name.Text());
        invalidErrors_.append(QString::fromStdString(error));
    }
}

QStringList TSettingsWrapper::TakeInvalidValues() {
    static constexpr SettingName kIntegers[] = {Setting::Width,
                                                Setting::Top,
                                                Setting::Left,
                                                Setting::HideBar,
                                                Setting::ScrollSpeed,
                                                Setting::ScrollJump,
                                                Setting::RecentCount,
                                                Setting::PlayOnStartup,
                                                Setting::ShowAudioInfo,
                                                Setting::ShowSecondaryServices,
                                                Setting::ChangeTaskBarIcon,
                                                Setting::QuickMenuMode,
                                                Setting::BitRate,
                                                Setting::SamplingFrequency,
                                                Setting::ListSort,
                                                Setting::ServerPort,
                                                Setting::TimerEnabled};
    static constexpr SettingName kStrings[] = {
        Setting::Favourites,       Setting::Recents,    Setting::Playing,
        Setting::DefaultExtension, Setting::SaveDir,    Setting::ListSize,
        Setting::ListTop,          Setting::ListSel,    Setting::ScheduleSize,
        Setting::ServerPassword,   Setting::Executable, Setting::Directory,
        Setting::Version};
    for (const SettingName name : kIntegers) {
        ReadInteger(name);
    }
    for (const SettingName name : kStrings) {
        ReadString(name);
    }
    const std::lock_guard lock(invalidMutex_);
    const QStringList fresh = invalidErrors_.mid(invalidTaken_);
    invalidTaken_ = invalidErrors_.size();
    return fresh;
}

QString TSettingsWrapper::KeyPath() {
    return QStringLiteral("\\Software\\Tunora\\Tunora");
}

bool TSettingsWrapper::IsMachineWide(SettingName name) {
    static constexpr std::array kNames = {Setting::ServerPort, Setting::ServerPassword,
                                          Setting::Executable, Setting::Directory,
                                          Setting::Version,    Setting::TimerEnabled};
    return std::find(kNames.begin(), kNames.end(), name) != kNames.end();
}

QString TSettingsWrapper::GeneratePassword(int length) {
    // A network password: drawn from the system's cryptographic source, not a clock-seeded one.
    QRandomGenerator& random = *QRandomGenerator::system();
    QString password;
    password.reserve(std::max(length, 0));
    for (int i = 0; i < length; ++i) {
        const int r = static_cast<int>(random.bounded(62u));
        if (r < 10) {
            password.append(QChar(u'0' + r));
        } else if (r < 36) {
            password.append(QChar(u'a' + (r - 10)));
        } else {
            password.append(QChar(u'A' + (r - 36)));
        }
    }
    return password;
}

RegistryKey& TSettingsWrapper::KeyFor(SettingName name) {
    return IsMachineWide(name) ? machineKey_ : userKey_;
}

const RegistryKey& TSettingsWrapper::KeyFor(SettingName name) const {
    return IsMachineWide(name) ? machineKey_ : userKey_;
}

QString TSettingsWrapper::ReadString(SettingName name) const {
    try {
        return KeyFor(name).ReadString(name.Text());
    } catch (const RegistryError& error) {
        NoteInvalid(name, error.what());
        return name == Setting::ServerPassword ? runPassword_ : QString();
    }
}

void TSettingsWrapper::WriteString(SettingName name, const QString& value) {
    KeyFor(name).WriteString(name.Text(), value);
}

std::int32_t TSettingsWrapper::ReadInteger(SettingName name) const {
    try {
        return KeyFor(name).ReadInteger(name.Text());
    } catch (const RegistryError& error) {
        NoteInvalid(name, error.what());
        return DefaultInteger(name);
    }
}

void TSettingsWrapper::WriteInteger(SettingName name, std::int32_t value) {
    KeyFor(name).WriteInteger(name.Text(), value);
}

bool TSettingsWrapper::ReadBool(SettingName name) const {
    return ReadInteger(name) != 0;
}

void TSettingsWrapper::WriteBool(SettingName name, bool value) {
    WriteInteger(name, value ? 1 : 0);
}

bool TSettingsWrapper::ValueExists(SettingName name) const {
    return KeyFor(name).ValueExists(name.Text());
}

// ---- Favourites and recents -----------------------------------------------------------------

bool TSettingsWrapper::IsFavourite(std::int32_t serviceId) const {
    return ContainsKey(SplitKeys(ReadString(Setting::Favourites)),
                       tables_.GetServiceKey(serviceId, true, u':'));
}

void TSettingsWrapper::SetFavourite(std::int32_t serviceId, bool on) {
    const QString key = tables_.GetServiceKey(serviceId, true, u':');
    QStringList keys = SplitKeys(ReadString(Setting::Favourites));
    if (ContainsKey(keys, key) == on) {
        return;
    }
    if (on) {
        keys.append(key);
    } else {
        RemoveKey(keys, key);
    }
    WriteString(Setting::Favourites, keys.join(u','));
}

void TSettingsWrapper::AddRecent(std::int32_t serviceId) {
    if (serviceId == 0) {
        return;
    }
    const QString key = tables_.GetServiceKey(serviceId, true, u':');
    QStringList keys = SplitKeys(ReadString(Setting::Recents));
    RemoveKey(keys, key);
    keys.prepend(key);
    while (keys.size() > kMaxRecents) {
        keys.removeLast();
    }
    WriteString(Setting::Recents, keys.join(u','));
}

namespace {

// One line per stored key whose service is known with a frequency, in stored order.
TListEntries DisplayLines(const TServiceTablesWrapper& tables, const QString& stored) {
    const QStringList keys = SplitKeys(stored);
    TListEntries list;
    for (const QString& key : keys) {
        list.append(TListEntry{key, 0});
    }
    for (qsizetype i = list.size() - 1; i >= 0; --i) {
        const std::int32_t id = tables.FindServiceByKey(list[i].Text);
        list[i].Object = id;
        if (tables.GetServiceFrequency(id) == 0) {
            list.removeAt(i);
        } else {
            list[i].Text = tables.GetServiceLabel(id);
        }
    }
    return list;
}

}  // namespace

void TSettingsWrapper::GetFavourites(TListEntries& list) const {
    list = DisplayLines(tables_, ReadString(Setting::Favourites));
    std::stable_sort(list.begin(), list.end(), [](const TListEntry& a, const TListEntry& b) {
        return QString::compare(a.Text, b.Text, Qt::CaseInsensitive) < 0;
    });
}

void TSettingsWrapper::GetRecents(TListEntries& list, bool numbered) const {
    list = DisplayLines(tables_, ReadString(Setting::Recents));
    const std::int32_t count = ReadInteger(Setting::RecentCount);
    if (count < 0) {
        list.clear();
    } else if (list.size() > count) {
        list.resize(count);
    }
    if (numbered) {
        for (qsizetype i = 0; i < list.size(); ++i) {
            list[i].Text = QString::number(i + 1) + u' ' + list[i].Text;
        }
    }
}

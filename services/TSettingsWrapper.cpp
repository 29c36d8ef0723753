#include "services/TSettingsWrapper.h"

#include <QRandomGenerator>
#include <QStringList>
#include <algorithm>
#include <array>
#include <functional>

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
    : userKey_(std::move(userKey)), machineKey_(std::move(machineKey)), tables_(tables) {
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
    integer(Setting::Width, 320);
    integer(Setting::Top, firstMonitorTop + 48);
    integer(Setting::Left, firstMonitorWidth - 368);
    integer(Setting::RecentCount, 5);
    integer(Setting::ScrollSpeed, 20);
    integer(Setting::ScrollJump, 1);
    createDefault(Setting::ShowSecondaryServices,
                  [&] { WriteBool(Setting::ShowSecondaryServices, false); });
    integer(Setting::ServerPort, 8080);
    createDefault(Setting::ServerPassword,
                  [&] { WriteString(Setting::ServerPassword, GeneratePassword(16)); });
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
    return KeyFor(name).ReadString(name.Text());
}

void TSettingsWrapper::WriteString(SettingName name, const QString& value) {
    KeyFor(name).WriteString(name.Text(), value);
}

std::int32_t TSettingsWrapper::ReadInteger(SettingName name) const {
    return KeyFor(name).ReadInteger(name.Text());
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

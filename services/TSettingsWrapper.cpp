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

const QString kFavourites = QStringLiteral("Favourites");
const QString kRecents = QStringLiteral("Recents");
const QString kRecentCount = QStringLiteral("RecentCount");
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
    auto createDefault = [this](const QString& name, const std::function<void()>& write) {
        try {
            if (!ValueExists(name)) {
                write();
            }
        } catch (const RegistryError&) {
        }
    };
    auto integer = [&](const char* name, std::int32_t value) {
        const QString n = QString::fromLatin1(name);
        createDefault(n, [&] { WriteInteger(n, value); });
    };
    integer("Width", 320);
    integer("Top", firstMonitorTop + 48);
    integer("Left", firstMonitorWidth - 368);
    integer("RecentCount", 5);
    integer("ScrollSpeed", 20);
    integer("ScrollJump", 1);
    const QString secondary = QStringLiteral("ShowSecondaryServices");
    createDefault(secondary, [&] { WriteBool(secondary, false); });
    integer("ServerPort", 8080);
    const QString password = QStringLiteral("ServerPassword");
    createDefault(password, [&] { WriteString(password, GeneratePassword(16)); });
}

QString TSettingsWrapper::KeyPath() {
    return QStringLiteral("\\Software\\Tunora\\Tunora");
}

bool TSettingsWrapper::IsMachineWide(const QString& name) {
    static const std::array<QString, 6> names = {
        QStringLiteral("ServerPort"), QStringLiteral("ServerPassword"),
        QStringLiteral("Executable"), QStringLiteral("Directory"),
        QStringLiteral("Version"),    QStringLiteral("TimerEnabled"),
    };
    return std::find(names.begin(), names.end(), name) != names.end();
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

RegistryKey& TSettingsWrapper::KeyFor(const QString& name) {
    return IsMachineWide(name) ? machineKey_ : userKey_;
}

const RegistryKey& TSettingsWrapper::KeyFor(const QString& name) const {
    return IsMachineWide(name) ? machineKey_ : userKey_;
}

QString TSettingsWrapper::ReadString(const QString& name) const {
    return KeyFor(name).ReadString(name);
}

void TSettingsWrapper::WriteString(const QString& name, const QString& value) {
    KeyFor(name).WriteString(name, value);
}

std::int32_t TSettingsWrapper::ReadInteger(const QString& name) const {
    return KeyFor(name).ReadInteger(name);
}

void TSettingsWrapper::WriteInteger(const QString& name, std::int32_t value) {
    KeyFor(name).WriteInteger(name, value);
}

bool TSettingsWrapper::ReadBool(const QString& name) const {
    return ReadInteger(name) != 0;
}

void TSettingsWrapper::WriteBool(const QString& name, bool value) {
    WriteInteger(name, value ? 1 : 0);
}

bool TSettingsWrapper::ValueExists(const QString& name) const {
    return KeyFor(name).ValueExists(name);
}

// ---- Favourites and recents -----------------------------------------------------------------

bool TSettingsWrapper::IsFavourite(std::int32_t serviceId) const {
    return ContainsKey(SplitKeys(ReadString(kFavourites)),
                       tables_.GetServiceKey(serviceId, true, u':'));
}

void TSettingsWrapper::SetFavourite(std::int32_t serviceId, bool on) {
    const QString key = tables_.GetServiceKey(serviceId, true, u':');
    QStringList keys = SplitKeys(ReadString(kFavourites));
    if (ContainsKey(keys, key) == on) {
        return;
    }
    if (on) {
        keys.append(key);
    } else {
        RemoveKey(keys, key);
    }
    WriteString(kFavourites, keys.join(u','));
}

void TSettingsWrapper::AddRecent(std::int32_t serviceId) {
    if (serviceId == 0) {
        return;
    }
    const QString key = tables_.GetServiceKey(serviceId, true, u':');
    QStringList keys = SplitKeys(ReadString(kRecents));
    RemoveKey(keys, key);
    keys.prepend(key);
    while (keys.size() > kMaxRecents) {
        keys.removeLast();
    }
    WriteString(kRecents, keys.join(u','));
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
    list = DisplayLines(tables_, ReadString(kFavourites));
    std::stable_sort(list.begin(), list.end(), [](const TListEntry& a, const TListEntry& b) {
        return QString::compare(a.Text, b.Text, Qt::CaseInsensitive) < 0;
    });
}

void TSettingsWrapper::GetRecents(TListEntries& list, bool numbered) const {
    list = DisplayLines(tables_, ReadString(kRecents));
    const std::int32_t count = ReadInteger(kRecentCount);
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

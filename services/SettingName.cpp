#include "services/SettingName.h"

#include <cstring>

QString SettingName::Text() const {
    return QString::fromLatin1(name_);
}

bool SettingName::operator==(const SettingName& other) const {
    return std::strcmp(name_, other.name_) == 0;
}

#include "services/ProgrammeTypes.h"

#include <array>

namespace {

constexpr std::array<const char*, 32> kNames = {
    "",
    "News",
    "Current Affairs",
    "Information",
    "Sport",
    "Education",
    "Drama",
    "Culture",
    "Science",
    "Varied",
    "Chart",
    "Rock",
    "Easy",
    "Light Classical",
    "Classical",
    "Music",
    "Weather",
    "Finance",
    "Childrens",
    "Social Affairs",
    "Religion",
    "Phone In",
    "Travel",
    "Leisure",
    "Jazz",
    "Country",
    "National",
    "Oldies",
    "Folk",
    "Documentary",
    "Alarm Test",
    "Alarm",
};

const char* Genre(int code) {
    switch (code) {
        case 1:
        case 2:
            return "NEWS";
        case 4:
            return "SPORT";
        case 5:
            return "EDUCATION";
        case 6:
            return "DRAMA";
        case 10:
            return "CHART";
        case 11:
        case 12:
        case 13:
        case 14:
        case 15:
        case 24:
        case 25:
        case 27:
        case 28:
            return "MUSIC";
        case 17:
            return "FINANCE";
        case 21:
            return "PHONE";
        case 22:
            return "TRAVEL";
        case 30:
        case 31:
            return "ALARM";
    }
    return "DEFAULT";
}

QString WithSize(const char* name, int size) {
    return QString::fromLatin1(name) + (size < 32 ? QStringLiteral("16") : QStringLiteral("32"));
}

}  // namespace

QString GetProgrammeTypeName(int code) {
    if (code >= 0 && code < static_cast<int>(kNames.size())) {
        return QString::fromLatin1(kNames[code]);
    }
    return QStringLiteral("Program Type ") + QString::number(code);
}

QString GetGenreImageName(int code, int size) {
    return WithSize(Genre(code), size);
}

QString GetProductImageName(int size) {
    return WithSize("TUNORA", size);
}

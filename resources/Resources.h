#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// The program's own resources, embedded into the binary at build time from the folders under
// resources/: GIF/, ICON/, CURSOR/ and RCDATA/. A resource is addressed by its type (the folder)
// and its name (the file name without extension); both are matched without regard to case, so
// Find("gif", "splash") gives GIF/SPLASH.gif. Safe to call from any thread.
class Resources {
public:
    // The bytes of the resource, or nothing when no file of that type carries that name.
    static std::optional<QByteArray> Find(const QString& type, const QString& name);

    // The names of every resource of one type, upper-cased and sorted.
    static QStringList Names(const QString& type);
};

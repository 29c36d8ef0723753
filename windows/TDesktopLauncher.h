#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

class TServicePictures;

// One place a launcher can be put: the caption the user picks, the folder, and whether the user
// browses for a folder starting there (an empty folder browses the whole file system).
struct TLauncherLocation {
    QString Caption;
    QString Folder;
    bool Browse = false;
};

// What a launcher starts: the service (for its picture), its key as the command line takes it
// ("$C221", "$C221:128"), its SId and the name the user gave.
struct TLauncherRequest {
    std::int32_t ServiceId = 0;
    QString Key;
    std::uint32_t SId = 0;
    QString Name;
    // Portable key sequence text ("Ctrl+Alt+R"); empty for none.
    QString Hotkey;
};

// Writes Desktop Entry files (.desktop) that start the program playing a service, with the
// service's picture as a PNG beside its .ico in the program folder's "Icons". Files are replaced
// atomically; failures are dropped (the caller shows nothing). Main thread.
class TDesktopLauncher {
public:
    // `pictures` is not owned and must outlive this. `executable` is the program's full path,
    // `programFolder` the folder that holds "Icons".
    TDesktopLauncher(const TServicePictures& pictures, QString executable, QString programFolder);

    // The launcher locations of this session, in order: "Desktop" (the XDG desktop folder, only
    // when it exists and is not the home folder), "Start Menu ..." ($XDG_DATA_HOME/applications)
    // and "Other ...".
    static QList<TLauncherLocation> Locations();
    // The XDG desktop folder as user-dirs.dirs names it; the home folder when it names none.
    static QString DesktopFolder();

    // `name` keeping only A-Z, a-z, 0-9 and blanks; "Tunora " + the SId in hexadecimal when
    // nothing is left (a hidden ".desktop" would be shared by every such service).
    static QString FileBaseName(const QString& name, std::uint32_t sid);
    // One argument of an Exec line: quoted when it holds a reserved character, with `"`, `` ` ``,
    // `$` and `\` escaped inside the quotes; "%" doubled.
    static QString QuoteArgument(const QString& argument);
    // A string value with "\", line breaks and tabs escaped.
    static QString EscapeValue(const QString& value);

    // The file's text for a request, pointing to `iconPath`.
    QString Contents(const TLauncherRequest& request, const QString& iconPath) const;
    // Writes the service's icon files and the launcher into `folder`; its path, or empty when
    // the launcher could not be written.
    QString Create(const TLauncherRequest& request, const QString& folder) const;

private:
    const TServicePictures& pictures_;
    QString executable_;
    QString programFolder_;
};

#include "windows/TDesktopLauncher.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>
#include <algorithm>

#include "imaging/TPngWriter.h"
#include "platform/XdgFolders.h"
#include "windows/TServicePictures.h"

namespace {

constexpr int kLauncherPictureSize = 32;
// Characters that make an Exec argument need quotes.
const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");

QString HomeFolder() {
    return QDir::cleanPath(qEnvironmentVariable("HOME", QDir::homePath()));
}

bool WriteAtomically(const QString& path, const QByteArray& bytes, bool executable) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        return false;
    }
    // Desktops trust only executable launchers; set the mode before the file takes its name.
    if (executable && ::fchmod(file.handle(), 0755) != 0) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace

TDesktopLauncher::TDesktopLauncher(const TServicePictures& pictures, QString executable,
                                   QString programFolder)
    : pictures_(pictures),
      executable_(std::move(executable)),
      programFolder_(std::move(programFolder)) {}

QString TDesktopLauncher::DesktopFolder() {
    // The lines read XDG_DESKTOP_DIR="$HOME/Desktop" or an absolute path, as xdg-user-dirs
    // writes them.
    QFile file(XdgFolders::ConfigHome() + QStringLiteral("/user-dirs.dirs"));
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTextStream in(&file);
        while (!in.atEnd()) {
            const QString line = in.readLine().trimmed();
            if (!line.startsWith(QStringLiteral("XDG_DESKTOP_DIR="))) {
                continue;
            }
            QString value = line.mid(line.indexOf(u'=') + 1);
            if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"')) {
                value = value.mid(1, value.size() - 2);
            }
            value.replace(QStringLiteral("$HOME"), HomeFolder());
            if (value.startsWith(u'/')) {
                return QDir::cleanPath(value);
            }
        }
    }
    return HomeFolder();
}

QList<TLauncherLocation> TDesktopLauncher::Locations() {
    QList<TLauncherLocation> list;
    const QString desktop = DesktopFolder();
    if (desktop != HomeFolder() && QFileInfo(desktop).isDir()) {
        list.append({QStringLiteral("Desktop"), desktop, false});
    }
    list.append({QStringLiteral("Start Menu ..."),
                 XdgFolders::DataHome() + QStringLiteral("/applications"), true});
    list.append({QStringLiteral("Other ..."), QString(), true});
    return list;
}

QString TDesktopLauncher::FileBaseName(const QString& name, std::uint32_t sid) {
    QString kept;
    for (const QChar c : name) {
        if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
            c == u' ') {
            kept.append(c);
        }
    }
    if (kept.trimmed().isEmpty()) {
        return QStringLiteral("Tunora ") + QString::number(sid, 16).toUpper();
    }
    return kept;
}

QString TDesktopLauncher::QuoteArgument(const QString& argument) {
    QString text = argument;
    text.replace(u'%', QStringLiteral("%%"));
    const bool quote = text.isEmpty() || std::any_of(text.cbegin(), text.cend(),
                                                     [](QChar c) { return kReserved.contains(c); });
    if (!quote) {
        return text;
    }
    QString quoted(u'"');
    for (const QChar c : text) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
            quoted.append(u'\\');
        }
        quoted.append(c);
    }
    quoted.append(u'"');
    return quoted;
}

QString TDesktopLauncher::EscapeValue(const QString& value) {
    QString out;
    for (const QChar c : value) {
        if (c == u'\\') {
            out += QStringLiteral("\\\\");
        } else if (c == u'\n') {
            out += QStringLiteral("\\n");
        } else if (c == u'\r') {
            out += QStringLiteral("\\r");
        } else if (c == u'\t') {
            out += QStringLiteral("\\t");
        } else {
            out += c;
        }
    }
    return out;
}

QString TDesktopLauncher::Contents(const TLauncherRequest& request, const QString& iconPath) const {
    const QString exec =
        QuoteArgument(executable_) + QStringLiteral(" PLAY ") + QuoteArgument(request.Key);
    QString text = QStringLiteral("[Desktop Entry]\nType=Application\n");
    text += QStringLiteral("Name=") + EscapeValue(request.Name) + u'\n';
    text += QStringLiteral("Comment=") + EscapeValue(request.Name) + u'\n';
    text += QStringLiteral("Exec=") + EscapeValue(exec) + u'\n';
    text += QStringLiteral("Path=") + EscapeValue(QFileInfo(executable_).absolutePath()) + u'\n';
    text += QStringLiteral("Icon=") + EscapeValue(iconPath) + u'\n';
    if (!request.Hotkey.isEmpty()) {
        text += QStringLiteral("X-Tunora-Hotkey=") + EscapeValue(request.Hotkey) + u'\n';
    }
    return text;
}

QString TDesktopLauncher::Create(const TLauncherRequest& request, const QString& folder) const {
    // Named from the request's SId, not the tables: the service may have gone in a rescan since
    // the request was made. The .ico is the program's icon file; desktops get the PNG beside it.
    const QString icons = programFolder_ + QStringLiteral("/Icons");
    const QString base = icons + u'/' + TServicePictures::SIdName(request.SId);
    const QString pngPath = base + QStringLiteral(".png");
    QDir().mkpath(icons);
    WriteAtomically(base + QStringLiteral(".ico"), pictures_.GetServiceIconFile(request.ServiceId),
                    false);
    if (const auto picture =
            pictures_.LoadServicePicture(request.ServiceId, kLauncherPictureSize)) {
        const TIndexedBitmap sized = picture->Scaled(kLauncherPictureSize, kLauncherPictureSize);
        WriteAtomically(pngPath, TPngWriter::Encode(sized.Width(), sized.Height(), sized.ToArgb()),
                        false);
    }
    const QString path =
        folder + u'/' + FileBaseName(request.Name, request.SId) + QStringLiteral(".desktop");
    QDir().mkpath(folder);
    if (!WriteAtomically(path, Contents(request, pngPath).toUtf8(), true)) {
        return {};
    }
    return path;
}

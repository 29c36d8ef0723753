#include "resources/Resources.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QResource>

namespace {

// Where qt_add_resources places the files (see resources/CMakeLists.txt).
constexpr auto kRoot = ":/tunora";

QString Key(const QString& type, const QString& name) {
    return type.toUpper() + QLatin1Char('/') + name.toUpper();
}

// Upper-cased "TYPE/NAME" -> resource path. The tree is fixed once the program runs, so it is
// read once; the function-local static makes the first use thread-safe.
const QHash<QString, QString>& Index() {
    static const QHash<QString, QString> index = [] {
        QStringList paths;
        QDirIterator it(QString::fromLatin1(kRoot), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            paths.append(it.next());
        // Sorted, so that of two files differing only in extension or case the same one wins
        // on every run.
        paths.sort();
        QHash<QString, QString> result;
        for (const QString& path : paths) {
            QFileInfo info(path);
            QString key = Key(info.dir().dirName(), info.completeBaseName());
            if (!result.contains(key))
                result.insert(key, path);
        }
        return result;
    }();
    return index;
}

}  // namespace

std::optional<QByteArray> Resources::Find(const QString& type, const QString& name) {
    auto it = Index().constFind(Key(type, name));
    if (it == Index().constEnd())
        return std::nullopt;
    QResource resource(it.value());
    if (!resource.isValid())
        return std::nullopt;
    return resource.uncompressedData();
}

QStringList Resources::Names(const QString& type) {
    const QString prefix = type.toUpper() + QLatin1Char('/');
    QStringList names;
    for (auto it = Index().constBegin(); it != Index().constEnd(); ++it) {
        if (it.key().startsWith(prefix))
            names.append(it.key().mid(prefix.size()));
    }
    names.sort();
    return names;
}

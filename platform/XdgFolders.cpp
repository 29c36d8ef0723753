#include "platform/XdgFolders.h"

#include <QDir>

namespace {

QString BaseFolder(const char* variable, const QString& underHome) {
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value)) {
        return QDir::cleanPath(value);
    }
    return QDir::cleanPath(QDir::homePath() + u'/' + underHome);
}

}  // namespace

QString XdgFolders::ConfigHome() {
    return BaseFolder("XDG_CONFIG_HOME", QStringLiteral(".config"));
}

QString XdgFolders::DataHome() {
    return BaseFolder("XDG_DATA_HOME", QStringLiteral(".local/share"));
}

#include "platform/ProgramFolder.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/XdgFolders.h"

QString ProgramFolder::ExecutablePath() {
    if (QCoreApplication::instance()) {
        return QCoreApplication::applicationFilePath();
    }
    return QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
}

QString ProgramFolder::Path() {
    return PathFor(ExecutablePath());
}

QString ProgramFolder::PathFor(const QString& executablePath) {
    const QString overridden = qEnvironmentVariable("TUNORA_PROGRAM_DIR");
    if (!overridden.isEmpty()) {
        return QDir::cleanPath(QDir::fromNativeSeparators(overridden));
    }
    const QString own = QFileInfo(executablePath).absolutePath();
    if (!executablePath.isEmpty() && ::access(QFile::encodeName(own).constData(), W_OK) == 0) {
        return QDir::cleanPath(own);
    }
    const QString folder = XdgFolders::DataHome() + QStringLiteral("/tunora");
    QDir().mkpath(folder);
    return folder;
}

#include "recording/CodecLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <mutex>

#include "platform/ProgramFolder.h"

namespace {

std::mutex folderMutex;
QString folderOverride;

}  // namespace

CodecLibrary::CodecLibrary(const QString& fileName) {
    const QString own = QDir(Folder()).filePath(fileName);
    if (QFileInfo::exists(own)) {
        library_ = LibraryHandle(QFile::encodeName(own));
    }
    if (!library_.IsOpen()) {
        library_ = LibraryHandle(QFile::encodeName(fileName));
    }
}

void* CodecLibrary::Symbol(const char* name) const {
    return library_.Symbol(name);
}

void CodecLibrary::SetFolder(const QString& folder) {
    std::lock_guard lock(folderMutex);
    folderOverride = folder;
}

QString CodecLibrary::Folder() {
    {
        std::lock_guard lock(folderMutex);
        if (!folderOverride.isEmpty()) {
            return folderOverride;
        }
    }
    return QFileInfo(ProgramFolder::ExecutablePath()).absolutePath();
}

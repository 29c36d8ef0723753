#include "recording/CodecLibrary.h"

#include <dlfcn.h>

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
        handle_ = ::dlopen(QFile::encodeName(own).constData(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!handle_) {
        handle_ = ::dlopen(QFile::encodeName(fileName).constData(), RTLD_NOW | RTLD_LOCAL);
    }
}

CodecLibrary::~CodecLibrary() {
    if (handle_) {
        ::dlclose(handle_);
    }
}

void* CodecLibrary::Symbol(const char* name) const {
    return handle_ ? ::dlsym(handle_, name) : nullptr;
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

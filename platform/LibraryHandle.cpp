#include "platform/LibraryHandle.h"

#include <dlfcn.h>

#include <utility>

LibraryHandle::LibraryHandle(const QByteArray& file)
    : handle_(::dlopen(file.constData(), RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ == nullptr) {
        const char* why = ::dlerror();
        error_ = why != nullptr ? why : "unknown error";
    }
}

LibraryHandle::~LibraryHandle() {
    Reset();
}

LibraryHandle::LibraryHandle(LibraryHandle&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_)) {}

LibraryHandle& LibraryHandle::operator=(LibraryHandle&& other) noexcept {
    if (this != &other) {
        Reset();
        handle_ = std::exchange(other.handle_, nullptr);
        error_ = std::move(other.error_);
    }
    return *this;
}

void* LibraryHandle::Symbol(const char* name) const {
    return handle_ != nullptr ? ::dlsym(handle_, name) : nullptr;
}

void LibraryHandle::Reset() {
    if (void* handle = std::exchange(handle_, nullptr); handle != nullptr) {
        ::dlclose(handle);
    }
}

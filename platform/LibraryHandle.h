#pragma once

#include <QByteArray>
#include <string>

// Owns one handle of a shared library opened with dlopen and closes it exactly once (dlclose) on
// destruction, on Reset, or when another one is moved in. Move-only. The library's code must be
// idle when the handle goes: whatever it created is released first.
class LibraryHandle {
public:
    LibraryHandle() = default;
    // Opens `file` (a path, or a bare name for the system's library search) with every symbol
    // bound at once and kept local. On failure IsOpen is false and Error says why.
    explicit LibraryHandle(const QByteArray& file);
    ~LibraryHandle();
    LibraryHandle(LibraryHandle&& other) noexcept;
    LibraryHandle& operator=(LibraryHandle&& other) noexcept;
    LibraryHandle(const LibraryHandle&) = delete;
    LibraryHandle& operator=(const LibraryHandle&) = delete;

    bool IsOpen() const { return handle_ != nullptr; }
    // The system's reason the open failed; empty when open or never tried.
    const std::string& Error() const { return error_; }
    // Address of an exported entry point; null when not open or not exported.
    void* Symbol(const char* name) const;
    // Closes the library (if open).
    void Reset();

private:
    void* handle_ = nullptr;
    std::string error_;
};

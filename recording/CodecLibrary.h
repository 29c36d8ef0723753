#pragma once

#include <QString>

#include "platform/LibraryHandle.h"

// One codec library loaded by file name: from the codec folder first, then by the system's
// library search. Unloaded on destruction; each object holds its own reference, so two users of
// the same library never unload it under each other. Any thread.
class CodecLibrary {
public:
    static constexpr const char* kDecoderFile = "libmpglib.so";
    static constexpr const char* kMp3EncoderFile = "liblame_enc.so";
    static constexpr const char* kOggEncoderFile = "libvorb_enc.so";

    explicit CodecLibrary(const QString& fileName);

    bool IsLoaded() const { return library_.IsOpen(); }
    // Address of an exported entry point; null when the library or the name is missing.
    void* Symbol(const char* name) const;

    // The folder searched first; empty restores the default, the running program's own folder.
    static void SetFolder(const QString& folder);
    static QString Folder();

private:
    LibraryHandle library_;
};

#pragma once

#include "recording/TBaseWriter.h"

// Appends the bytes unchanged: headerless PCM when fed decoded audio.
class TRawWriter : public TBaseWriter {
public:
    explicit TRawWriter(int fileHandle) : TBaseWriter(fileHandle) {}
    void Write(const std::uint8_t* buffer, int count) override;
};

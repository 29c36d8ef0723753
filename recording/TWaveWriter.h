#pragma once

#include <sys/types.h>

#include <cstdint>

#include "recording/TBaseWriter.h"

// A RIFF/WAVE file of 16-bit PCM. The 44-byte header goes out at once with the placeholder sizes
// 32767 (RIFF) and 65371 (data); destruction writes the real sizes back into it. When the output
// cannot seek (a pipe, a terminal), the header carries 0xFFFFFFFF in both size fields, the usual
// mark of a WAV stream of unknown length, and is never revisited; the same mark replaces sizes
// beyond what the 32-bit fields hold.
class TWaveWriter : public TBaseWriter {
public:
    TWaveWriter(int fileHandle, int sampleRate, int channels);
    ~TWaveWriter() override;

    void Write(const std::uint8_t* buffer, int count) override;

    // PCM bytes written so far.
    std::uint64_t DataBytes() const { return DataBytes_; }

    static constexpr std::uint32_t kRiffSizePlaceholder = 32767;
    static constexpr std::uint32_t kDataSizePlaceholder = 65371;
    static constexpr std::uint32_t kUnknownSize = 0xFFFFFFFF;

private:
    // File offsets of the two size fields; 0 when the output cannot seek.
    off_t RiffSizePosition = 0;
    off_t DataSizePosition = 0;
    std::uint64_t DataBytes_ = 0;
};

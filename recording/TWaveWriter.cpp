#include "recording/TWaveWriter.h"

#include <unistd.h>

#include <cstring>

namespace {

void PutLE(std::uint8_t* at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

void WriteSizeAt(int fileHandle, off_t position, std::uint32_t value) {
    std::uint8_t bytes[4];
    PutLE(bytes, value, 4);
    ::pwrite(fileHandle, bytes, sizeof bytes, position);
}

}  // namespace

TWaveWriter::TWaveWriter(int fileHandle, int sampleRate, int channels) : TBaseWriter(fileHandle) {
    const off_t start = ::lseek(fileHandle, 0, SEEK_CUR);
    const bool seekable = start >= 0;
    if (seekable) {
        RiffSizePosition = start + 4;
        DataSizePosition = start + 40;
    }
    const auto rate = static_cast<std::uint32_t>(sampleRate);
    const auto count = static_cast<std::uint32_t>(channels);
    std::uint8_t header[44];
    std::memcpy(header + 0, "RIFF", 4);
    PutLE(header + 4, seekable ? kRiffSizePlaceholder : kUnknownSize, 4);
    std::memcpy(header + 8, "WAVE", 4);
    std::memcpy(header + 12, "fmt ", 4);
    PutLE(header + 16, 16, 4);
    PutLE(header + 20, 1, 2);
    PutLE(header + 22, count, 2);
    PutLE(header + 24, rate, 4);
    PutLE(header + 28, count * rate * 2, 4);
    PutLE(header + 32, count * 2, 2);
    PutLE(header + 34, 16, 2);
    std::memcpy(header + 36, "data", 4);
    PutLE(header + 40, seekable ? kDataSizePlaceholder : kUnknownSize, 4);
    Append(header, sizeof header);
}

TWaveWriter::~TWaveWriter() {
    const bool fits = DataBytes_ <= kUnknownSize - 36;
    if (RiffSizePosition > 0) {
        WriteSizeAt(FileHandle, RiffSizePosition,
                    fits ? static_cast<std::uint32_t>(DataBytes_ + 36) : kUnknownSize);
    }
    if (DataSizePosition > 0) {
        WriteSizeAt(FileHandle, DataSizePosition,
                    fits ? static_cast<std::uint32_t>(DataBytes_) : kUnknownSize);
    }
}

void TWaveWriter::Write(const std::uint8_t* buffer, int count) {
    if (count <= 0) {
        return;
    }
    Append(buffer, static_cast<std::size_t>(count));
    DataBytes_ += static_cast<std::uint64_t>(count);
}

#include "recording/TBaseWriter.h"

#include <unistd.h>

#include <cerrno>

TBaseWriter::~TBaseWriter() = default;

bool TBaseWriter::Append(const void* data, std::size_t count) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (count > 0) {
        const ssize_t written = ::write(FileHandle, bytes, count);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

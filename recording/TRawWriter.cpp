#include "recording/TRawWriter.h"

void TRawWriter::Write(const std::uint8_t* buffer, int count) {
    if (count > 0) {
        Append(buffer, static_cast<std::size_t>(count));
    }
}

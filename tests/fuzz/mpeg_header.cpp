// MPEG audio headers: any block start gives a header with table values or nothing.
#include <cstdlib>

#include "receiver/MpegAudioHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto header = MpegAudioHeader::Parse(data, static_cast<std::int32_t>(size));
    if (header && (header->Bitrate() < 0 || header->SampleRate() < 0 ||
                   (header->ScfCrcLength() != 2 && header->ScfCrcLength() != 4))) {
        std::abort();
    }
    return 0;
}

// An encoder library with four of the five be- entry points: beVersion is missing.

#include "codecs/BladeEncoder.h"

extern "C" {

BE_EXPORT BeResult beInitStream(const void*, std::uint32_t* samples, std::uint32_t* outputSize,
                                BeStream* stream) {
    *samples = 2304;
    *outputSize = 8640;
    *stream = 1;
    return BeOk;
}

BE_EXPORT BeResult beEncodeChunk(BeStream, std::uint32_t, const std::int16_t*, std::uint8_t*,
                                 std::uint32_t* outputBytes) {
    *outputBytes = 0;
    return BeOk;
}

BE_EXPORT BeResult beDeinitStream(BeStream, std::uint8_t*, std::uint32_t* outputBytes) {
    *outputBytes = 0;
    return BeOk;
}

BE_EXPORT BeResult beCloseStream(BeStream) {
    return BeOk;
}

}  // extern "C"

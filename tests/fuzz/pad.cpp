// PAD: any run of frames leaves a dynamic label of at most 16 segments of 16 characters.
#include <cstdlib>

#include "receiver/TPADObject.h"

// Input: a byte choosing the ScF-CRC length, then frames, each a length byte and its bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    TPADObject pad;
    const int scfCrcLength = (data[0] & 1) != 0 ? 4 : 2;
    std::size_t at = 1;
    while (at < size) {
        const std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
        pad.ProcessFrame(data + at + 1, static_cast<std::int32_t>(length), scfCrcLength);
        at += 1 + length;
    }
    if (pad.DisplayedText().size() > 256 || pad.MusicSpeech() > 3) {
        std::abort();
    }
    return 0;
}

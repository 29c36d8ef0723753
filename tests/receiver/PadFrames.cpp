#include "tests/receiver/PadFrames.h"

#include <algorithm>

PadFormat Stereo128() {
    return kStereo128;
}

PadFormat Mono48() {
    return kPadFormats[2];
}

// Filler, the header, X-PAD (reversed) before the ScF-CRC, then the F-PAD: as PadFrame writes
// it, repeated here since the targets using this file do not build the model's source.
std::vector<std::uint8_t> Frame(const PadFormat& format, const std::uint8_t xpad[4],
                                std::uint8_t fpad1, std::uint8_t fpad2) {
    const auto l = static_cast<std::size_t>(format.length);
    std::vector<std::uint8_t> f(l, 0x55);
    std::copy(format.header.begin(), format.header.end(), f.begin());
    const std::size_t first = l - 3 - static_cast<std::size_t>(format.scfCrc);
    std::fill(f.begin() + static_cast<std::ptrdiff_t>(first) + 1, f.end() - 2, 0xAA);
    for (std::size_t k = 0; k < 4; ++k) {
        f[first - k] = xpad[k];
    }
    f[l - 2] = fpad1;
    f[l - 1] = fpad2;
    return f;
}

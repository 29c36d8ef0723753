#include "tests/sim/LayerTwo.h"

#include <algorithm>
#include <vector>

namespace {

class BitReader {
public:
    explicit BitReader(const std::uint8_t* data) : data_(data) {}
    int Read(int bits) {
        int v = 0;
        for (int i = 0; i < bits; ++i, ++pos_) {
            v = (v << 1) | ((data_[pos_ / 8] >> (7 - pos_ % 8)) & 1);
        }
        return v;
    }

private:
    const std::uint8_t* data_;
    std::size_t pos_ = 0;
};

void CrcBits(std::uint16_t& crc, int value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
        const bool top = (crc & 0x8000) != 0;
        const bool bit = ((value >> i) & 1) != 0;
        crc = static_cast<std::uint16_t>(crc << 1);
        if (top != bit) {
            crc ^= 0x8005;
        }
    }
}

// Bits of the allocation field per sub-band (ISO 11172-3 B.2, ISO 13818-3 B.1).
std::vector<int> AllocationBits(const LayerTwoHeader& h) {
    const int perChannel = h.mode == 3 ? h.bitrate : h.bitrate / 2;
    std::vector<int> nbal;
    if (!h.mpeg1) {
        for (int sb = 0; sb < 30; ++sb) {
            nbal.push_back(sb < 4 ? 4 : sb < 11 ? 3 : 2);
        }
    } else if (h.sampleRate == 48000 && perChannel <= 48) {
        for (int sb = 0; sb < 8; ++sb) {  // table c
            nbal.push_back(sb < 2 ? 4 : 3);
        }
    } else {
        for (int sb = 0; sb < 27; ++sb) {  // table a (48 kHz, 56 kbit/s per channel and up)
            nbal.push_back(sb < 11 ? 4 : sb < 23 ? 3 : 2);
        }
    }
    return nbal;
}

}  // namespace

bool ParseLayerTwoHeader(const std::uint8_t* f, std::size_t size, LayerTwoHeader& h) {
    if (size < 4 || f[0] != 0xFF || (f[1] & 0xE0) != 0xE0) {
        return false;
    }
    const int version = (f[1] >> 3) & 3;  // 3 MPEG-1, 2 MPEG-2
    const int layer = (f[1] >> 1) & 3;    // 2 = Layer II
    if ((version != 3 && version != 2) || layer != 2) {
        return false;
    }
    h.mpeg1 = version == 3;
    h.protectedByCrc = (f[1] & 1) == 0;
    static const int rates1[] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
    static const int rates2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    const int index = f[2] >> 4;
    const int fs = (f[2] >> 2) & 3;
    if (index == 0 || index == 15 || fs == 3) {
        return false;
    }
    h.bitrate = h.mpeg1 ? rates1[index] : rates2[index];
    static const int fs1[] = {44100, 48000, 32000};
    h.sampleRate = h.mpeg1 ? fs1[fs] : fs1[fs] / 2;
    h.padding = (f[2] & 2) != 0;
    h.mode = f[3] >> 6;
    h.modeExtension = (f[3] >> 4) & 3;
    h.length = 144 * h.bitrate * 1000 / h.sampleRate + (h.padding ? 1 : 0);
    return true;
}

bool LayerTwoCrcMatches(const std::uint8_t* f, const LayerTwoHeader& h) {
    const std::vector<int> nbal = AllocationBits(h);
    const int sblimit = static_cast<int>(nbal.size());
    const int channels = h.mode == 3 ? 1 : 2;
    const int bound = h.mode == 1 ? std::min(sblimit, 4 * (h.modeExtension + 1)) : sblimit;
    std::uint16_t crc = 0xFFFF;
    CrcBits(crc, f[2], 8);
    CrcBits(crc, f[3], 8);
    BitReader r(f + 6);  // after the header and the stored check word
    std::vector<std::vector<int>> alloc(2, std::vector<int>(sblimit, 0));
    for (int sb = 0; sb < sblimit; ++sb) {
        for (int ch = 0; ch < (sb < bound ? channels : 1); ++ch) {
            alloc[ch][sb] = r.Read(nbal[sb]);
            CrcBits(crc, alloc[ch][sb], nbal[sb]);
        }
        if (sb >= bound) {
            alloc[1][sb] = alloc[0][sb];
        }
    }
    for (int sb = 0; sb < sblimit; ++sb) {
        for (int ch = 0; ch < channels; ++ch) {
            if (alloc[ch][sb] != 0) {
                CrcBits(crc, r.Read(2), 2);
            }
        }
    }
    return crc == ((f[4] << 8) | f[5]);
}

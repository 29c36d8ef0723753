// FIC: any FIBs leave an ensemble within the fields' ranges, with labels of valid UTF-8 no
// longer than 16 characters could make, never a read outside the FIBs.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "eti/FicDecoder.h"
#include "receiver/DabCharset.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Valid UTF-8 reads back unchanged; a label holds 16 bytes, at most 3 UTF-8 bytes each.
void CheckLabel(const std::string& label) {
    Check(label.size() <= 48 && DabCharset::ToUtf8(label, DabCharset::kUtf8) == label);
}

}  // namespace

// Input: a byte whose bits mark FIBs (by number modulo 8) to keep a wrong CRC, then the FIBs'
// 30-byte data fields; the harness adds the CRCs so the FIGs are read, and feeds three FIBs
// per FIC as mode I does.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    std::vector<std::uint8_t> fic;
    for (std::size_t at = 1, n = 0; at < size; at += 30, ++n) {
        std::uint8_t fib[32] = {};
        for (std::size_t i = 0; i < 30 && at + i < size; ++i) {
            fib[i] = data[at + i];
        }
        std::uint16_t crc = 0xFFFF;
        for (std::size_t i = 0; i < 30; ++i) {
            crc ^= static_cast<std::uint16_t>(fib[i] << 8);
            for (int bit = 0; bit < 8; ++bit) {
                crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                                     : static_cast<std::uint16_t>(crc << 1);
            }
        }
        crc = static_cast<std::uint16_t>((data[0] >> (n % 8)) & 1 ? crc : ~crc);
        fib[30] = static_cast<std::uint8_t>(crc >> 8);
        fib[31] = static_cast<std::uint8_t>(crc);
        fic.insert(fic.end(), fib, fib + 32);
    }
    FicDecoder decoder;
    for (std::size_t at = 0; at < fic.size(); at += 96) {
        decoder.Feed(fic.data() + at, std::min<std::size_t>(96, fic.size() - at));
    }
    decoder.Complete();
    const FicEnsemble& e = decoder.Ensemble();
    Check(decoder.BadFibs() <= decoder.Fibs() && decoder.Fibs() == fic.size() / 32);
    CheckLabel(e.label);
    for (const auto& [id, s] : e.subChannels) {
        Check(id == s.id && id >= 0 && id < 64 && s.size >= 0 && s.size < 1024 && s.bitrate >= 0 &&
              s.bitrate <= 1024 * 32);
    }
    for (const FicService& s : e.services) {
        CheckLabel(s.label);
        Check(s.programmeType >= 0 && s.programmeType < 32 && s.components.size() <= 15);
        for (const FicComponent& c : s.components) {
            CheckLabel(c.label);
            Check(c.subChannelId >= -1 && c.subChannelId < 64 && c.scids >= -1 && c.scids < 16 &&
                  c.packetId < 4096 && c.packetAddress < 1024 &&
                  (c.tmid == 3) == (c.packetId >= 0));
        }
    }
    return 0;
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One ETI-NI frame (ETSI EN 300 799): 6144 bytes, 24 ms of an ensemble.
//   ERR(1) FSYNC(3) | FC(4) STC(4 x NST) EOH(MNSC 2, CRC 2) | MST(FIC, sub-channels) EOF(4) TIST(4)
// A view points into the caller's bytes; it is valid while they are.
struct EtiStream {
    int subChannelId = 0;  // SCID, 0-63
    int startAddress = 0;  // SAD, capacity units
    int protection = 0;    // TPL, as coded
    const std::uint8_t* data = nullptr;
    std::size_t length = 0;  // bytes: STL x 8
};

struct EtiFrameView {
    int errorLevel = 0;  // ERR 0xFF: 0 (no errors), 0x0F: 1, 0xF0: 2, 0x00 and others: 3
    int frameCount = 0;  // FCT, 0-249
    int mode = 1;        // transmission mode I-IV from MID (MID 0 = mode IV)
    const std::uint8_t* fic = nullptr;  // null when FICF is 0
    std::size_t ficLength = 0;          // 96 bytes (modes I, II, IV) or 128 (mode III)
    std::vector<EtiStream> streams;     // in STC order
};

enum class EtiFrameFault {
    None,
    Sync,       // neither FSYNC value
    HeaderCrc,  // the CRC over FC, STC and MNSC does not match
    Length,     // FL disagrees with the streams, or the frame would run past 6144 bytes
};

class EtiFrame {
public:
    static constexpr std::size_t kSize = 6144;
    // FSYNC alternates between the two from frame to frame; either is accepted on any frame.
    static constexpr std::uint32_t kSyncEven = 0x073AB6;
    static constexpr std::uint32_t kSyncOdd = 0xF8C549;

    // Parses `frame` (kSize bytes). On a fault `view` is left partly filled and must not be used.
    // The MST CRC in EOF is not checked: sub-channel errors are the audio decoder's business,
    // as on a receiver.
    static EtiFrameFault Parse(const std::uint8_t* frame, EtiFrameView& view);

    // CRC-16 of ETI, the FIB and the PAD: polynomial 0x1021, preset 0xFFFF, result inverted.
    static std::uint16_t Crc16(const std::uint8_t* data, std::size_t length);
};

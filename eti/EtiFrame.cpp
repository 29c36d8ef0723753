#include "eti/EtiFrame.h"

#include <array>

namespace {

constexpr std::size_t kSyncLength = 4;     // ERR, FSYNC
constexpr std::size_t kFcLength = 4;       // FCT, FICF, NST, FP, MID, FL
constexpr std::size_t kEohLength = 4;      // MNSC, header CRC
constexpr std::size_t kTrailerLength = 8;  // EOF (MST CRC, RFU) and TIST
constexpr int kMaxStreams = 64;
// STC, EOH and MST, in 4-byte words: what is left of the frame after SYNC, FC, EOF and TIST.
constexpr int kMaxFrameWords =
    static_cast<int>((EtiFrame::kSize - kSyncLength - kFcLength - kTrailerLength) / 4);

constexpr std::array<std::uint16_t, 256> MakeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        auto crc = static_cast<std::uint16_t>(i << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<std::uint16_t>(crc << 1);
        }
        table[static_cast<std::size_t>(i)] = crc;
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kCrcTable = MakeCrcTable();

// ERR of EN 300 799: FF no error, 0F error level 1, F0 level 2, 00 level 3. Other values are not
// defined; they are taken as the worst level, as nothing vouches for the frame.
int ErrorLevel(std::uint8_t err) {
    switch (err) {
        case 0xFF:
            return 0;
        case 0x0F:
            return 1;
        case 0xF0:
            return 2;
        default:
            return 3;
    }
}

}  // namespace

std::uint16_t EtiFrame::Crc16(const std::uint8_t* data, std::size_t length) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < length; ++i) {
        crc = static_cast<std::uint16_t>((crc << 8) ^ kCrcTable[((crc >> 8) ^ data[i]) & 0xFF]);
    }
    return static_cast<std::uint16_t>(~crc);
}

EtiFrameFault EtiFrame::Parse(const std::uint8_t* frame, EtiFrameView& view) {
    const std::uint32_t sync = (std::uint32_t{frame[1]} << 16) | (frame[2] << 8) | frame[3];
    if (sync != kSyncEven && sync != kSyncOdd) {
        return EtiFrameFault::Sync;
    }
    const std::uint8_t* fc = frame + kSyncLength;
    const bool ficPresent = (fc[1] & 0x80) != 0;
    const int streams = fc[1] & 0x7F;
    const int mid = (fc[2] >> 3) & 0x03;
    const int frameWords = ((fc[2] & 0x07) << 8) | fc[3];

    // The header CRC covers FC, STC and MNSC; it is checked before any field is believed.
    const std::size_t stcLength = 4 * static_cast<std::size_t>(streams);
    const std::uint8_t* eoh = fc + kFcLength + stcLength;
    const std::uint16_t crc = static_cast<std::uint16_t>((eoh[2] << 8) | eoh[3]);
    if (Crc16(fc, kFcLength + stcLength + 2) != crc) {
        return EtiFrameFault::HeaderCrc;
    }
    if (streams > kMaxStreams || frameWords > kMaxFrameWords) {
        return EtiFrameFault::Length;
    }

    view.errorLevel = ErrorLevel(frame[0]);
    view.frameCount = fc[0];
    view.mode = mid == 0 ? 4 : mid;
    const std::size_t ficWords = !ficPresent ? 0 : view.mode == 3 ? 32 : 24;
    view.ficLength = 4 * ficWords;

    // FL counts STC, EOH and MST in words; it must be what the streams add up to.
    std::size_t words = static_cast<std::size_t>(streams) + 1 + ficWords;
    const std::uint8_t* stc = fc + kFcLength;
    view.streams.resize(static_cast<std::size_t>(streams));
    for (int i = 0; i < streams; ++i) {
        const std::uint8_t* s = stc + 4 * i;
        EtiStream& stream = view.streams[static_cast<std::size_t>(i)];
        stream.subChannelId = s[0] >> 2;
        stream.startAddress = ((s[0] & 0x03) << 8) | s[1];
        stream.protection = s[2] >> 2;
        stream.length = 8 * static_cast<std::size_t>(((s[2] & 0x03) << 8) | s[3]);
        words += stream.length / 4;
    }
    if (words != static_cast<std::size_t>(frameWords)) {
        return EtiFrameFault::Length;
    }

    const std::uint8_t* mst = eoh + kEohLength;
    view.fic = ficPresent ? mst : nullptr;
    const std::uint8_t* data = mst + view.ficLength;
    for (EtiStream& stream : view.streams) {
        stream.data = data;
        data += stream.length;
    }
    return EtiFrameFault::None;
}

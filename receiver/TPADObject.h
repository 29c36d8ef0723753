#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Decodes the programme-associated data of one audio stream: the music/speech flag from the
// F-PAD and the dynamic label carried as data groups in short X-PAD. Fed one whole frame at a
// time; not thread-safe (the event sink calls it inside its lock).
class TPADObject {
public:
    TPADObject();

    // Runs the PAD step on one whole audio frame; `scfCrcLength` (2 or 4) is the length of the
    // ScF-CRC field between the X-PAD and the F-PAD.
    void ProcessFrame(const std::uint8_t* frame, std::int32_t length, int scfCrcLength);

    // 0 not signalled, 1 music, 2 speech, 3 reserved.
    std::uint8_t MusicSpeech() const { return musicSpeech_; }
    // The last complete dynamic label (bytes as 8-bit characters).
    const QString& DisplayedText() const { return displayedText_; }

    // CRC-16 of a dynamic label data group: x^16 + x^12 + x^5 + 1, initial 0xFFFF, inverted.
    static std::uint16_t Crc16(const std::uint8_t* data, std::size_t count);

private:
    void DataGroup();

    std::uint8_t musicSpeech_ = 0;
    QString displayedText_;
    std::string segmentBytes_;  // the label's bytes so far, in `charset_`
    int charset_ = 0;
    int lastSegment_ = -1;
    std::vector<std::uint8_t> xPadBuffer_;
    // Bytes collected since the last data group start; -1 until the first start. Saturates at
    // the buffer's bound: no dynamic label data group is longer.
    int xPadLength_ = -1;
    int xPadKind_ = 0;
};

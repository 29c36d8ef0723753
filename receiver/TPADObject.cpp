#include "receiver/TPADObject.h"

#include "receiver/DabCharset.h"

#include <algorithm>

namespace {

// The longest dynamic label data group is 1 contents-indicator byte, 2 prefix bytes, 16
// characters and 2 CRC bytes; keeping more would only let a stream without starts grow the buffer.
constexpr int kMaxCollected = 64;

constexpr int kXPadShort = 1;
constexpr std::uint8_t kAppTypeDynamicLabelStart = 2;

}  // namespace

TPADObject::TPADObject() {
    xPadBuffer_.reserve(kMaxCollected);
}

std::uint16_t TPADObject::Crc16(const std::uint8_t* data, std::size_t count) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= static_cast<std::uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) != 0 ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                                      : static_cast<std::uint16_t>(crc << 1);
        }
    }
    return static_cast<std::uint16_t>(~crc);
}

void TPADObject::ProcessFrame(const std::uint8_t* frame, std::int32_t length, int scfCrcLength) {
    if (frame == nullptr || length < 2) {
        return;  // no F-PAD
    }
    const std::uint8_t b1 = frame[length - 2];
    const std::uint8_t b2 = frame[length - 1];

    if ((b1 & 0xC0) == 0x80 && (b1 & 0x30) == 0x10) {
        musicSpeech_ = static_cast<std::uint8_t>((b1 & 0x0C) >> 2);
    }
    if (b1 < 0x40) {
        xPadKind_ = (b1 & 0x30) >> 4;
    }
    if (xPadKind_ != kXPadShort) {
        return;
    }
    if ((b2 & 0x02) != 0) {
        DataGroup();
        xPadLength_ = 0;
        xPadBuffer_.clear();
    }
    if (xPadLength_ < 0) {
        return;
    }
    // Short X-PAD: 4 bytes just before the ScF-CRC, in reverse order.
    const int p = length - 3 - scfCrcLength;
    if (p - 3 < 0) {
        return;  // a block too short to hold X-PAD
    }
    for (int k = 0; k < 4; ++k) {
        if (static_cast<int>(xPadBuffer_.size()) < kMaxCollected) {
            xPadBuffer_.push_back(frame[p - k]);
        }
    }
    xPadLength_ = std::min(xPadLength_ + 4, kMaxCollected);
}

void TPADObject::DataGroup() {
    const int n = std::min<int>(xPadLength_, static_cast<int>(xPadBuffer_.size()));
    const std::uint8_t* b = xPadBuffer_.data();
    if (n < 4 || b[0] != kAppTypeDynamicLabelStart) {
        return;
    }
    const bool command = (b[1] & 0x10) != 0;
    if (command) {
        // A command carries no characters: its CRC follows the two prefix bytes. The "remove
        // label" command (0001) clears the display; other commands are not text and are ignored.
        // A remove command with two filler bytes before its CRC is accepted as well.
        if ((b[1] & 0x1F) != 0x11) {
            return;
        }
        const bool plain = n >= 5 && Crc16(b + 1, 2) == (b[3] << 8 | b[4]);
        const bool padded = n >= 7 && Crc16(b + 1, 4) == (b[5] << 8 | b[6]);
        if (plain || padded) {
            displayedText_.clear();
            segmentBytes_.clear();
            lastSegment_ = -1;
        }
        return;
    }

    const int c = (b[1] & 0x0F) + 1;
    if (c + 5 > n) {
        return;
    }
    if (Crc16(b + 1, static_cast<std::size_t>(c) + 2) != (b[c + 3] << 8 | b[c + 4])) {
        return;
    }
    const bool first = (b[1] & 0x40) != 0;
    const bool last = (b[1] & 0x20) != 0;
    if (!first && (b[2] >> 4) != lastSegment_ + 1) {
        segmentBytes_.clear();
        lastSegment_ = -1;
        return;
    }
    if (first) {
        segmentBytes_.clear();
        charset_ = b[2] >> 4;
        lastSegment_ = -1;
    }
    segmentBytes_.append(reinterpret_cast<const char*>(b + 3), static_cast<std::size_t>(c));
    ++lastSegment_;
    if (last) {
        // Converted whole: a UTF-8 character may straddle two segments.
        displayedText_ = QString::fromStdString(DabCharset::ToUtf8(segmentBytes_, charset_));
    }
}

#include "eti/DynamicLabelDecoder.h"

#include <algorithm>

#include "eti/EtiFrame.h"
#include "receiver/DabCharset.h"

namespace {

constexpr int kShortXPad = 1;
constexpr int kVariableXPad = 2;
constexpr int kAppDlsStart = 2;
constexpr int kAppDlsContinue = 3;

}  // namespace

int DynamicLabelDecoder::ScfCrcLength(const std::uint8_t* h) {
    if ((h[1] & 0x08) == 0) {
        return 4;  // MPEG-2 half sampling rate
    }
    static constexpr int kKbps[16] = {0,   32,  48,  56,  64,  80,  96,  112,
                                      128, 160, 192, 224, 256, 320, 384, 0};
    const int kbps = kKbps[h[2] >> 4];
    const bool single = (h[3] >> 6) == 3;
    return kbps >= (single ? 56 : 112) ? 4 : 2;
}

void DynamicLabelDecoder::Frame(const std::uint8_t* frame, std::size_t length) {
    if (length < 16) {
        return;
    }
    const std::uint8_t b1 = frame[length - 2];
    const bool ci = (frame[length - 1] & 0x02) != 0;
    if ((b1 >> 6) == 0) {
        xpadKind_ = (b1 >> 4) & 0x03;
    }
    if (xpadKind_ != kShortXPad && xpadKind_ != kVariableXPad) {
        return;
    }
    // X-PAD byte k lies at p - k: the field is stored backwards before the ScF-CRC.
    const std::size_t p = length - 3 - static_cast<std::size_t>(ScfCrcLength(frame));
    const std::size_t room = p - 4 + 1;  // never into the header
    std::uint8_t xpad[kMaxXPad];
    const std::size_t have = std::min(room, sizeof xpad);
    for (std::size_t k = 0; k < have; ++k) {
        xpad[k] = frame[p - k];
    }
    // A frame without contents indicators continues the last data subfield's application.
    const int continued = lastApp_ == kAppDlsStart ? kAppDlsContinue : lastApp_;
    if (xpadKind_ == kShortXPad) {
        if (ci) {
            lastApp_ = xpad[0] & 0x1F;
            Subfield(lastApp_, xpad + 1, 3);
        } else {
            Subfield(continued, xpad, 4);
        }
        return;
    }
    if (!ci) {
        Subfield(continued, xpad, std::min(lastLength_, have));
        return;
    }
    // Variable size: up to four contents indicators (length index, application type), ended
    // early by application type 0, then their data subfields in order.
    static constexpr std::size_t kLengths[8] = {4, 6, 8, 12, 16, 24, 32, 48};
    std::size_t count = 0;
    while (count < 4 && count < have && (xpad[count] & 0x1F) != 0) {
        ++count;
    }
    std::size_t at = count < 4 ? count + 1 : 4;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t n = kLengths[xpad[i] >> 5];
        if (at + n > have) {
            return;
        }
        lastApp_ = xpad[i] & 0x1F;
        lastLength_ = n;
        Subfield(lastApp_, xpad + at, n);
        at += n;
    }
}

void DynamicLabelDecoder::Subfield(int app, const std::uint8_t* bytes, std::size_t count) {
    if (app == kAppDlsStart) {
        group_.clear();
        collecting_ = true;
    } else if (app != kAppDlsContinue) {
        return;
    }
    if (collecting_) {
        Append(bytes, count);
    }
}

void DynamicLabelDecoder::Append(const std::uint8_t* bytes, std::size_t count) {
    group_.insert(group_.end(), bytes, bytes + count);
    if (group_.size() < 2) {
        return;
    }
    // Prefix, characters (none for a command) and CRC.
    const bool command = (group_[0] & 0x10) != 0;
    const std::size_t size = 2 + (command ? 0 : (group_[0] & 0x0F) + 1u) + 2;
    if (group_.size() >= size) {
        group_.resize(size);
        collecting_ = false;
        DataGroup();
    }
}

void DynamicLabelDecoder::DataGroup() {
    const std::size_t n = group_.size();
    const unsigned crc = group_[n - 2] * 256u + group_[n - 1];
    if (EtiFrame::Crc16(group_.data(), n - 2) != crc) {
        return;
    }
    const std::uint8_t prefix = group_[0];
    if ((prefix & 0x10) != 0) {
        if ((prefix & 0x0F) == 0x01) {  // remove label
            label_.clear();
            segments_.clear();
            lastSegment_ = -1;
        }
        return;
    }
    const bool first = (prefix & 0x40) != 0;
    const bool last = (prefix & 0x20) != 0;
    const int segment = first ? 0 : (group_[1] >> 4) & 0x07;
    if (first) {
        segments_.clear();
        charset_ = group_[1] >> 4;
    } else if (segment != lastSegment_ + 1) {
        segments_.clear();
        lastSegment_ = -1;
        return;
    }
    segments_.append(reinterpret_cast<const char*>(group_.data() + 2), n - 4);
    lastSegment_ = segment;
    if (last) {
        label_ = DabCharset::ToUtf8(segments_, charset_);
        lastSegment_ = -1;
    }
}

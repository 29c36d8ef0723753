#include "tests/sim/PadReader.h"

#include <algorithm>

std::uint16_t DlsCrc(const std::uint8_t* data, std::size_t length) {
    // Bit by bit: x^16 + x^12 + x^5 + 1, register preset to ones, complemented at the end.
    std::uint32_t reg = 0xFFFF;
    for (std::size_t i = 0; i < length; ++i) {
        for (int b = 7; b >= 0; --b) {
            const std::uint32_t in = (data[i] >> b) & 1;
            const std::uint32_t feedback = ((reg >> 15) & 1) ^ in;
            reg = (reg << 1) & 0xFFFF;
            if (feedback != 0) {
                reg ^= (1u << 12) | (1u << 5) | 1u;
            }
        }
    }
    return static_cast<std::uint16_t>(reg ^ 0xFFFF);
}

void PadReader::Frame(const std::uint8_t* frame, std::size_t length) {
    const std::uint8_t b1 = frame[length - 2];
    const std::uint8_t b2 = frame[length - 1];
    if ((b1 >> 6) == 2) {
        ++typeTenFrames_;
        if (((b1 >> 4) & 3) == 1) {
            musicSpeech_ = (b1 >> 2) & 3;
        }
    } else if ((b1 >> 6) == 0) {
        xpadKind_ = (b1 >> 4) & 3;
    }
    if (xpadKind_ != 1) {
        return;
    }
    if ((b2 & 0x02) != 0) {
        ++ciFrames_;
        if (collecting_) {
            DataGroup();
        }
        buffer_.clear();
        collecting_ = true;
    }
    if (!collecting_) {
        return;
    }
    const std::size_t first = length - 3 - static_cast<std::size_t>(scfCrcLength_);
    for (std::size_t k = 0; k < 4; ++k) {
        buffer_.push_back(frame[first - k]);  // stored in reverse order
    }
}

void PadReader::Show(const std::string& text) {
    displayed_ = text;
    if (labels_.empty() || labels_.back() != text) {
        labels_.push_back(text);
    }
}

void PadReader::DataGroup() {
    const std::vector<std::uint8_t>& b = buffer_;
    if (b.size() < 5 || b[0] != 2) {
        return;
    }
    Group g;
    g.prefix0 = b[1];
    g.prefix1 = b[2];
    const bool command = (b[1] & 0x10) != 0;
    const std::size_t characters = command ? 0 : (b[1] & 0x0F) + 1u;
    if (3 + characters + 2 > b.size()) {
        return;
    }
    g.characters.assign(b.begin() + 3, b.begin() + 3 + static_cast<std::ptrdiff_t>(characters));
    const std::uint16_t stored =
        static_cast<std::uint16_t>((b[3 + characters] << 8) | b[4 + characters]);
    g.crcOk = DlsCrc(&b[1], 2 + characters) == stored;
    groups_.push_back(g);
    if (!g.crcOk) {
        return;
    }
    if (command) {
        if ((b[1] & 0x0F) == 1) {
            assembling_.clear();
            lastSegment_ = -1;
            Show("");
        }
        return;
    }
    const bool firstSegment = (b[1] & 0x40) != 0;
    const int segment = firstSegment ? 0 : (b[2] >> 4) & 7;
    if (firstSegment) {
        assembling_.clear();
        lastSegment_ = -1;
    } else if (segment != lastSegment_ + 1) {
        assembling_.clear();
        lastSegment_ = -1;
        return;
    }
    assembling_ += g.characters;
    lastSegment_ = segment;
    if ((b[1] & 0x20) != 0) {
        Show(assembling_);
    }
}

std::vector<std::uint8_t> PadFrame(const PadFormat& format, const std::array<std::uint8_t, 4>& xpad,
                                   std::uint8_t fpad1, std::uint8_t fpad2) {
    const auto l = static_cast<std::size_t>(format.length);
    std::vector<std::uint8_t> f(l, 0x55);
    std::copy(format.header.begin(), format.header.end(), f.begin());
    f[l - 2] = fpad1;
    f[l - 1] = fpad2;
    const std::size_t first = l - 3 - static_cast<std::size_t>(format.scfCrc);
    std::fill(f.begin() + static_cast<std::ptrdiff_t>(first) + 1, f.end() - 2, 0xAA);
    for (std::size_t k = 0; k < 4; ++k) {
        f[first - k] = xpad[k];
    }
    return f;
}

namespace {

// The contents-indicator byte (application type 2), `data`, then the CRC over `data`.
std::vector<std::uint8_t> WithCrc(std::vector<std::uint8_t> data) {
    const std::uint16_t crc = DlsCrc(data.data(), data.size());
    data.insert(data.begin(), 0x02);
    data.push_back(static_cast<std::uint8_t>(crc >> 8));
    data.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    return data;
}

}  // namespace

std::vector<std::uint8_t> LabelGroup(const std::string& chars, bool first, bool last, int segment,
                                     int charset) {
    std::vector<std::uint8_t> data = {
        static_cast<std::uint8_t>((first ? 0x40 : 0) | (last ? 0x20 : 0) |
                                  ((chars.size() - 1) & 0x0F)),
        static_cast<std::uint8_t>(first ? (charset & 0x0F) << 4 : (segment & 0x07) << 4)};
    data.insert(data.end(), chars.begin(), chars.end());
    return WithCrc(std::move(data));
}

std::vector<std::uint8_t> RemoveLabelGroup() {
    return WithCrc({0x11, 0x00});  // command flag, command 0001
}

std::vector<std::vector<std::uint8_t>> GroupFrames(const PadFormat& format,
                                                   const std::vector<std::uint8_t>& group) {
    std::vector<std::vector<std::uint8_t>> frames;
    for (std::size_t at = 0; at < group.size(); at += 4) {
        std::array<std::uint8_t, 4> xpad{};
        for (std::size_t i = 0; i < 4 && at + i < group.size(); ++i) {
            xpad[i] = group[at + i];
        }
        frames.push_back(PadFrame(format, xpad, kShortXPad, at == 0 ? kContentsIndicator : 0));
    }
    return frames;
}

std::vector<std::uint8_t> EndMarkerFrame(const PadFormat& format) {
    return PadFrame(format, {}, kShortXPad, kContentsIndicator);
}

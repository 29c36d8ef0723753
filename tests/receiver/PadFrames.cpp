#include "tests/receiver/PadFrames.h"

#include "receiver/TPADObject.h"

FrameFormat Stereo128() {
    return {{0xFF, 0xFC, 0x84, 0x00}, 384, 4};
}
FrameFormat Stereo96() {
    return {{0xFF, 0xFC, 0x64, 0x00}, 288, 2};
}
FrameFormat Mono48() {
    return {{0xFF, 0xFC, 0x24, 0xC0}, 144, 2};
}
FrameFormat Mono64() {
    return {{0xFF, 0xFC, 0x44, 0xC0}, 192, 4};
}
FrameFormat Lsf24Mono64() {
    return {{0xFF, 0xF4, 0x84, 0xC0}, 384, 4};
}

std::vector<std::uint8_t> Frame(const FrameFormat& format, const std::uint8_t xpad[4],
                                std::uint8_t fpad1, std::uint8_t fpad2) {
    std::vector<std::uint8_t> f(static_cast<std::size_t>(format.length), 0x55);
    for (int i = 0; i < 4; ++i) {
        f[i] = format.header[i];
    }
    const int l = format.length;
    f[l - 1] = fpad2;
    f[l - 2] = fpad1;
    for (int i = 0; i < format.scfCrc; ++i) {
        f[l - 3 - i] = 0xAA;
    }
    const int first = l - 3 - format.scfCrc;
    for (int i = 0; i < 4; ++i) {
        f[first - i] = xpad[i];
    }
    return f;
}

namespace {

// The contents indicator byte (application type 2), `data`, then the CRC over `data`.
std::vector<std::uint8_t> WithCrc(const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> group;
    group.reserve(data.size() + 3);
    group.push_back(0x02);
    group.insert(group.end(), data.begin(), data.end());
    const std::uint16_t crc = TPADObject::Crc16(data.data(), data.size());
    group.push_back(static_cast<std::uint8_t>(crc >> 8));
    group.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    return group;
}

}  // namespace

std::vector<std::uint8_t> LabelSegment(const std::string& chars, bool first, bool last,
                                       int segment) {
    std::vector<std::uint8_t> data;
    data.push_back(static_cast<std::uint8_t>((first ? 0x40 : 0) | (last ? 0x20 : 0) |
                                             ((chars.size() - 1) & 0x0F)));
    data.push_back(static_cast<std::uint8_t>(first ? 0x00 : (segment & 0x07) << 4));
    data.insert(data.end(), chars.begin(), chars.end());
    return WithCrc(data);
}

std::vector<std::uint8_t> RemoveLabel() {
    std::vector<std::uint8_t> data;
    data.push_back(0x11);  // command flag, command 0001
    data.push_back(0x00);
    return WithCrc(data);
}

std::vector<std::vector<std::uint8_t>> GroupFrames(const FrameFormat& format,
                                                   const std::vector<std::uint8_t>& group) {
    std::vector<std::vector<std::uint8_t>> frames;
    for (std::size_t at = 0; at < group.size(); at += 4) {
        std::uint8_t xpad[4] = {0, 0, 0, 0};
        for (std::size_t i = 0; i < 4 && at + i < group.size(); ++i) {
            xpad[i] = group[at + i];
        }
        frames.push_back(Frame(format, xpad, kShortXPad, at == 0 ? kContentsIndicator : 0));
    }
    return frames;
}

std::vector<std::uint8_t> EndMarkerFrame(const FrameFormat& format) {
    const std::uint8_t xpad[4] = {0, 0, 0, 0};
    return Frame(format, xpad, kShortXPad, kContentsIndicator);
}

#include "sim/PadEncoder.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "receiver/DabCharset.h"

namespace {

constexpr std::uint8_t kDynamicLabelStart = 2;  // X-PAD application type: DL, start of data group
constexpr std::uint8_t kRemoveLabelCommand = 0x01;
constexpr std::size_t kSegmentCharacters = 16;  // bytes of a segment
constexpr std::size_t kMaxLabelBytes = 8 * kSegmentCharacters;
constexpr int kFramesPerMusicSpeechWithoutLabels = 8;

}  // namespace

PadEncoder::PadEncoder(const AirComponent& component, double frameSeconds)
    : labels_(component.labels),
      rotateSeconds_(component.rotateSeconds),
      musicSpeech_(component.musicSpeech),
      frameSeconds_(frameSeconds) {}

std::uint16_t PadEncoder::Crc16(const std::uint8_t* data, std::size_t length) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= static_cast<std::uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<std::uint16_t>(crc << 1);
        }
    }
    return static_cast<std::uint16_t>(~crc);
}

std::vector<std::vector<std::uint8_t>> PadEncoder::DataGroups(const AirLabel& label, bool toggle) {
    std::vector<std::vector<std::uint8_t>> groups;
    const std::uint8_t t = toggle ? 0x80 : 0x00;
    auto seal = [&groups](std::vector<std::uint8_t> g) {
        const std::uint16_t crc = Crc16(g.data(), g.size());
        g.push_back(static_cast<std::uint8_t>(crc >> 8));
        g.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        groups.push_back(std::move(g));
    };
    if (label.remove) {
        // First and last flags set, C flag set, command 0001; second prefix byte reserved.
        seal({static_cast<std::uint8_t>(t | 0x40 | 0x20 | 0x10 | kRemoveLabelCommand), 0x00});
        return groups;
    }
    // The air's 8-bit text goes out in EBU Latin, as most broadcasters send it; a text with a
    // character EBU Latin lacks goes out in UTF-8, cut to the 128 bytes a label can carry.
    const std::string utf8 = DabCharset::Latin1ToUtf8(label.text);
    const std::optional<std::string> ebu = DabCharset::ToEbuLatin(utf8);
    const int charset = ebu ? DabCharset::kEbuLatin : DabCharset::kUtf8;
    std::string text = ebu ? *ebu : utf8;
    if (text.size() > kMaxLabelBytes) {
        std::size_t cut = kMaxLabelBytes;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        text.resize(cut);
    }
    const std::size_t count = (text.size() + kSegmentCharacters - 1) / kSegmentCharacters;
    for (std::size_t s = 0; s < count; ++s) {
        const std::size_t begin = s * kSegmentCharacters;
        const std::size_t n = std::min(kSegmentCharacters, text.size() - begin);
        std::vector<std::uint8_t> g;
        g.push_back(static_cast<std::uint8_t>(t | (s == 0 ? 0x40 : 0) |
                                              (s + 1 == count ? 0x20 : 0) | (n - 1)));
        // First segment: character set in bits 7-4; later segments: segment number in bits 6-4.
        g.push_back(static_cast<std::uint8_t>(s == 0 ? (charset << 4) : (s << 4)));
        g.insert(g.end(), text.begin() + static_cast<std::ptrdiff_t>(begin),
                 text.begin() + static_cast<std::ptrdiff_t>(begin + n));
        seal(std::move(g));
    }
    return groups;
}

int PadEncoder::LabelAt(const AirComponent& component, double seconds) {
    if (component.labels.empty()) {
        return -1;
    }
    const auto step = static_cast<std::int64_t>(std::floor(seconds / component.rotateSeconds));
    return static_cast<int>(step % static_cast<std::int64_t>(component.labels.size()));
}

void PadEncoder::QueueNext(std::int64_t index) {
    const auto rotation = static_cast<std::int64_t>(
        std::floor(static_cast<double>(index) * frameSeconds_ / rotateSeconds_));
    if (rotation != rotation_) {
        rotation_ = rotation;
        const auto entry =
            static_cast<std::size_t>(rotation % static_cast<std::int64_t>(labels_.size()));
        groups_ = DataGroups(labels_[entry], (rotation & 1) != 0);
        nextGroup_ = 0;
    }
    const std::vector<std::uint8_t>& group = groups_[nextGroup_];
    nextGroup_ = (nextGroup_ + 1) % groups_.size();

    std::vector<std::uint8_t> bytes;
    bytes.push_back(kDynamicLabelStart);  // the contents indicator
    bytes.insert(bytes.end(), group.begin(), group.end());
    while (bytes.size() % 4 != 0) {
        bytes.push_back(0);  // padding up to the end of the frame's X-PAD
    }
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        Chunk chunk;
        std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(i),
                  bytes.begin() + static_cast<std::ptrdiff_t>(i + 4), chunk.xpad.begin());
        chunk.ci = i == 0;
        queue_.push_back(chunk);
    }
    if (musicSpeech_ != 0) {
        Chunk gap;
        gap.musicSpeech = true;
        queue_.push_back(gap);
    }
}

void PadEncoder::Fill(std::uint8_t* frame, int length, int scfCrcLength, std::int64_t index) {
    Chunk chunk;
    if (labels_.empty()) {
        chunk.musicSpeech = musicSpeech_ != 0 && index % kFramesPerMusicSpeechWithoutLabels == 0;
    } else {
        if (queue_.empty()) {
            QueueNext(index);
        }
        chunk = queue_.front();
        queue_.pop_front();
    }
    // X-PAD bytes go in reverse order: the first one sits just before the ScF-CRC.
    const int p = length - 3 - scfCrcLength;
    for (int k = 0; k < 4; ++k) {
        frame[p - k] = chunk.xpad[k];
    }
    const std::uint8_t xpadIndicator = labels_.empty() ? 0x00 : 0x10;  // 01 = short X-PAD
    frame[length - 2] = chunk.musicSpeech
                            ? static_cast<std::uint8_t>(0x80 | 0x10 | (musicSpeech_ << 2))
                            : xpadIndicator;
    frame[length - 1] = chunk.ci ? 0x02 : 0x00;
}

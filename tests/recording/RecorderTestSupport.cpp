#include "RecorderTestSupport.h"

std::vector<std::vector<std::uint8_t>> FramesOf(const LayerTwoStream& stream) {
    std::vector<std::vector<std::uint8_t>> frames;
    for (std::size_t at = 0; at < stream.Bytes.size(); at += stream.FrameBytes) {
        const std::size_t end = std::min(stream.Bytes.size(), at + stream.FrameBytes);
        frames.emplace_back(stream.Bytes.begin() + at, stream.Bytes.begin() + end);
    }
    return frames;
}

QByteArray Concat(const std::vector<std::vector<std::uint8_t>>& blocks) {
    QByteArray all;
    for (const auto& block : blocks) {
        all += AsBytes(block);
    }
    return all;
}

QByteArray AsBytes(const std::vector<std::uint8_t>& data) {
    return QByteArray(reinterpret_cast<const char*>(data.data()),
                      static_cast<qsizetype>(data.size()));
}

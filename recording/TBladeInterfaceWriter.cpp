#include "recording/TBladeInterfaceWriter.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "recording/TBladeInterface.h"

TBladeInterfaceWriter::TBladeInterfaceWriter(int fileHandle,
                                             std::unique_ptr<TBladeInterface> encoder)
    : TBaseWriter(fileHandle),
      Encoder(std::move(encoder)),
      InBuffer(static_cast<std::size_t>(Encoder->ChunkBytes())),
      OutBuffer(static_cast<std::size_t>(Encoder->OutBufferSize())) {}

TBladeInterfaceWriter::~TBladeInterfaceWriter() {
    int produced = Encoder->EncodeChunk(InBuffer.data(), Fill, OutBuffer.data());
    Append(OutBuffer.data(), static_cast<std::size_t>(produced));
    produced = Encoder->Finish(OutBuffer.data());
    Append(OutBuffer.data(), static_cast<std::size_t>(produced));
}

void TBladeInterfaceWriter::Write(const std::uint8_t* buffer, int count) {
    const int chunk = static_cast<int>(InBuffer.size());
    while (count > 0) {
        const int take = std::min(count, chunk - Fill);
        std::memcpy(InBuffer.data() + Fill, buffer, static_cast<std::size_t>(take));
        Fill += take;
        buffer += take;
        count -= take;
        if (Fill == chunk) {
            const int produced = Encoder->EncodeChunk(InBuffer.data(), Fill, OutBuffer.data());
            Append(OutBuffer.data(), static_cast<std::size_t>(produced));
            Fill = 0;
        }
    }
}

std::unique_ptr<TBaseWriter> CreateMp3Writer(int fileHandle, int channels, int sampleRate,
                                             int outputSampleRate, int bitrate) {
    return std::make_unique<TBladeInterfaceWriter>(
        fileHandle,
        TBladeInterface::CreateMp3Encoder(sampleRate, outputSampleRate, bitrate, channels));
}

std::unique_ptr<TBaseWriter> CreateOggWriter(int fileHandle, int channels, int sampleRate,
                                             int bitrate, const QString& title,
                                             double recordingTime) {
    return std::make_unique<TBladeInterfaceWriter>(
        fileHandle,
        TBladeInterface::CreateOggEncoder(channels, sampleRate, bitrate, title, recordingTime));
}

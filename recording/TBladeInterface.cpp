#include "recording/TBladeInterface.h"

#include <algorithm>
#include <vector>

#include "recording/CodecError.h"
#include "recording/EncoderConfig.h"

TBladeInterface::TBladeInterface(const QString& libraryName, const void* config)
    : library_(libraryName) {
    beInitStream_ = reinterpret_cast<BeInitStreamFn>(library_.Symbol("beInitStream"));
    beEncodeChunk_ = reinterpret_cast<BeEncodeChunkFn>(library_.Symbol("beEncodeChunk"));
    beDeinitStream_ = reinterpret_cast<BeDeinitStreamFn>(library_.Symbol("beDeinitStream"));
    beCloseStream_ = reinterpret_cast<BeCloseStreamFn>(library_.Symbol("beCloseStream"));
    beVersion_ = reinterpret_cast<BeVersionFn>(library_.Symbol("beVersion"));
    if (!beInitStream_ || !beEncodeChunk_ || !beDeinitStream_ || !beCloseStream_ || !beVersion_) {
        throw CodecError("Unable to load encoder DLL.");
    }
    if (!config) {
        return;
    }
    std::uint32_t samples = 0;
    std::uint32_t outputSize = 0;
    BeStream stream = 0;
    if (beInitStream_(config, &samples, &outputSize, &stream) != BeOk) {
        throw CodecError("beInitStream Error.");
    }
    EncoderStream = stream;
    // A stream that takes no samples, or has nowhere to put its output, cannot be fed.
    if (samples == 0 || samples > 0x10000000 || outputSize == 0 || outputSize > 0x40000000) {
        beCloseStream_(EncoderStream);
        EncoderStream = 0;
        throw CodecError("beInitStream Error.");
    }
    ChunkBytes_ = static_cast<int>(samples * 2);
    OutBufferSize_ = static_cast<int>(outputSize);
}

TBladeInterface::~TBladeInterface() {
    Finish(nullptr);
}

int TBladeInterface::EncodeChunk(const std::uint8_t* input, int bytes, std::uint8_t* output) {
    if (EncoderStream == 0 || bytes < 0 || bytes > ChunkBytes_) {
        return 0;
    }
    std::uint32_t produced = 0;
    // The PCM buffers come from operator new, aligned for 16-bit samples.
    if (beEncodeChunk_(EncoderStream, static_cast<std::uint32_t>(bytes / 2),
                       reinterpret_cast<const std::int16_t*>(input), output, &produced) != BeOk) {
        return 0;
    }
    return static_cast<int>(std::min<std::uint32_t>(produced, OutBufferSize_));
}

int TBladeInterface::Finish(std::uint8_t* output) {
    std::uint32_t produced = 0;
    if (EncoderStream == 0) {
        return 0;
    }
    if (output) {
        // Errors are dropped; bytes a failing flush still reported are kept.
        beDeinitStream_(EncoderStream, output, &produced);
    }
    beCloseStream_(EncoderStream);
    EncoderStream = 0;
    return static_cast<int>(std::min<std::uint32_t>(produced, OutBufferSize_));
}

std::unique_ptr<TBladeInterface> TBladeInterface::CreateMp3Encoder(int sampleRate,
                                                                   int outputSampleRate,
                                                                   int bitrate, int channels) {
    const BeMp3Config record = MakeMp3Config(sampleRate, outputSampleRate, bitrate, channels);
    return std::make_unique<TBladeInterface>(QString::fromLatin1(CodecLibrary::kMp3EncoderFile),
                                             &record);
}

std::unique_ptr<TBladeInterface> TBladeInterface::CreateOggEncoder(int channels, int sampleRate,
                                                                   int bitrate,
                                                                   const QString& title,
                                                                   double recordingTime) {
    const std::vector<std::uint8_t> record =
        MakeOggConfig(channels, sampleRate, bitrate, title, recordingTime);
    return std::make_unique<TBladeInterface>(QString::fromLatin1(CodecLibrary::kOggEncoderFile),
                                             record.data());
}

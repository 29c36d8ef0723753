// liblame_enc.so: the be- encoder interface over libmp3lame.

#include <lame/lame.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

#include "codecs/BladeEncoder.h"
#include "codecs/StreamTable.h"

namespace {

constexpr int kFramesPerChunk = 1152;
// LAME's documented worst case for one call: 1.25 × samples per channel + 7200; the flush needs
// 7200 at least.
constexpr std::uint32_t kOutputBufferSize = kFramesPerChunk * 5 / 4 + 7200;

class LameStream : public EncoderStream {
public:
    ~LameStream() override {
        if (Flags) {
            lame_close(Flags);
        }
    }
    lame_global_flags* Flags = nullptr;
    int Channels = 2;
    bool Flushed = false;
};

StreamTable& Streams() {
    static StreamTable table;
    return table;
}

// The encoder's own messages would go to the recording process's standard error.
void Silent(const char*, va_list) {}

LameStream* Find(BeStream stream) {
    return dynamic_cast<LameStream*>(Streams().Find(stream));
}

}  // namespace

extern "C" {

BE_EXPORT BeResult beInitStream(const void* config, std::uint32_t* samplesPerChunk,
                                std::uint32_t* outputBufferSize, BeStream* stream) {
    if (!config) {
        return BeErrInvalidFormat;
    }
    if (!samplesPerChunk || !outputBufferSize || !stream) {
        return BeErrBufferTooSmall;
    }
    // The size field decides how much may be read, so look at the first three fields alone.
    std::uint32_t head[3];
    std::memcpy(head, config, sizeof head);
    if (head[0] != BeConfigMp3 || head[1] < 1 || head[2] < sizeof(BeMp3Config)) {
        return BeErrInvalidFormat;
    }
    BeMp3Config record;
    std::memcpy(&record, config, sizeof record);
    if (record.Mode < 0 || record.Mode > 3) {
        return BeErrInvalidParameters;
    }

    auto encoder = std::make_unique<LameStream>();
    encoder->Flags = lame_init();
    if (!encoder->Flags) {
        return BeErrNoMoreHandles;
    }
    lame_global_flags* flags = encoder->Flags;
    encoder->Channels = record.Mode == 3 ? 1 : 2;
    lame_set_errorf(flags, Silent);
    lame_set_debugf(flags, Silent);
    lame_set_msgf(flags, Silent);
    lame_set_in_samplerate(flags, static_cast<int>(record.SampleRate));
    lame_set_num_channels(flags, encoder->Channels);
    // 0 means the input's rate: left unset, LAME would pick a lower one for low bitrates.
    lame_set_out_samplerate(flags, static_cast<int>(record.ReSampleRate != 0 ? record.ReSampleRate
                                                                             : record.SampleRate));
    lame_set_mode(flags, static_cast<MPEG_mode>(record.Mode));
    if (record.EnableVbr) {
        lame_set_VBR(flags, vbr_default);
        lame_set_VBR_quality(flags, static_cast<float>(std::clamp(record.VbrQuality, 0, 9)));
        if (record.MaxBitrate != 0) {
            lame_set_VBR_max_bitrate_kbps(flags, static_cast<int>(record.MaxBitrate));
        }
    } else {
        lame_set_VBR(flags, vbr_off);
        lame_set_brate(flags, static_cast<int>(record.Bitrate));
    }
    lame_set_error_protection(flags, record.Crc != 0);
    lame_set_copyright(flags, record.Copyright != 0);
    lame_set_original(flags, record.Original != 0);
    lame_set_extension(flags, record.Private != 0);
    lame_set_emphasis(flags, static_cast<int>(record.Emphasis));
    // An Info/Xing tag belongs in the first frame, which a stream cannot go back to.
    lame_set_bWriteVbrTag(flags, 0);
    if (lame_init_params(flags) < 0) {
        return BeErrInvalidParameters;
    }

    const int channels = encoder->Channels;
    const BeStream handle = Streams().Add(std::move(encoder));
    if (handle == 0) {
        return BeErrNoMoreHandles;
    }
    *samplesPerChunk = static_cast<std::uint32_t>(kFramesPerChunk * channels);
    *outputBufferSize = kOutputBufferSize;
    *stream = handle;
    return BeOk;
}

BE_EXPORT BeResult beEncodeChunk(BeStream stream, std::uint32_t samples, const std::int16_t* pcm,
                                 std::uint8_t* output, std::uint32_t* outputBytes) {
    LameStream* encoder = Find(stream);
    if (!encoder || encoder->Flushed) {
        return BeErrInvalidHandle;
    }
    if (!outputBytes) {
        return BeErrBufferTooSmall;
    }
    *outputBytes = 0;
    const std::uint32_t frames = samples / static_cast<std::uint32_t>(encoder->Channels);
    if (frames == 0) {
        return BeOk;
    }
    if (frames > kFramesPerChunk || !pcm || !output) {
        return BeErrBufferTooSmall;
    }
    const int produced =
        encoder->Channels == 2
            // LAME only reads the samples, whatever its declaration says.
            ? lame_encode_buffer_interleaved(encoder->Flags, const_cast<std::int16_t*>(pcm),
                                             static_cast<int>(frames), output, kOutputBufferSize)
            : lame_encode_buffer(encoder->Flags, pcm, pcm, static_cast<int>(frames), output,
                                 kOutputBufferSize);
    if (produced < 0) {
        return produced == -1 ? BeErrBufferTooSmall : BeErrInvalidParameters;
    }
    *outputBytes = static_cast<std::uint32_t>(produced);
    return BeOk;
}

BE_EXPORT BeResult beDeinitStream(BeStream stream, std::uint8_t* output,
                                  std::uint32_t* outputBytes) {
    LameStream* encoder = Find(stream);
    if (!encoder) {
        return BeErrInvalidHandle;
    }
    if (!outputBytes || !output) {
        return BeErrBufferTooSmall;
    }
    *outputBytes = 0;
    if (encoder->Flushed) {
        return BeOk;
    }
    encoder->Flushed = true;
    const int produced = lame_encode_flush(encoder->Flags, output, kOutputBufferSize);
    if (produced < 0) {
        return BeErrBufferTooSmall;
    }
    *outputBytes = static_cast<std::uint32_t>(produced);
    return BeOk;
}

BE_EXPORT BeResult beCloseStream(BeStream stream) {
    return Streams().Remove(stream) ? BeOk : BeErrInvalidHandle;
}

BE_EXPORT void beVersion(BeVersion* version) {
    if (!version) {
        return;
    }
    std::memset(version, 0, sizeof *version);
    version->LibraryMajor = BeLibraryMajor;
    version->LibraryMinor = BeLibraryMinor;
    lame_version_t engine;
    get_lame_version_numerical(&engine);
    version->EngineMajor = static_cast<std::uint8_t>(engine.major);
    version->EngineMinor = static_cast<std::uint8_t>(engine.minor);
    std::snprintf(version->Engine, sizeof version->Engine, "LAME %s", get_lame_version());
}

}  // extern "C"

// libvorb_enc.so: the be- encoder interface over libvorbisenc, writing an Ogg Vorbis stream.

#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "codecs/BladeEncoder.h"
#include "codecs/StreamTable.h"

namespace {

constexpr std::uint32_t kFramesPerChunk = 1024;
// Far above what one chunk of audio (or the three header packets) turns into; output that still
// does not fit waits for the next call.
constexpr std::uint32_t kOutputBufferSize = 131072;
// Used when the encoder has no mode for the requested bitrate at this rate and
// channel count (very low or very high bitrates): a recording at about 80-110 kbit/s beats none.
constexpr float kFallbackQuality = 0.3f;

class VorbisStream : public EncoderStream {
public:
    VorbisStream() {
        vorbis_info_init(&Info);
        vorbis_comment_init(&Comments);
    }
    ~VorbisStream() override {
        if (StreamReady) {
            ogg_stream_clear(&Stream);
        }
        if (BlockReady) {
            vorbis_block_clear(&Block);
        }
        if (DspReady) {
            vorbis_dsp_clear(&Dsp);
        }
        vorbis_comment_clear(&Comments);
        vorbis_info_clear(&Info);
    }

    // Moves every finished packet into pages and the pages into Pending.
    void Drain() {
        while (vorbis_analysis_blockout(&Dsp, &Block) == 1) {
            vorbis_analysis(&Block, nullptr);
            vorbis_bitrate_addblock(&Block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&Dsp, &packet) == 1) {
                ogg_stream_packetin(&Stream, &packet);
                TakePages(false);
            }
        }
    }

    // Full pages only, unless `flush`: then whatever is buffered, as short pages.
    void TakePages(bool flush) {
        ogg_page page;
        while ((flush ? ogg_stream_flush(&Stream, &page) : ogg_stream_pageout(&Stream, &page)) !=
               0) {
            Pending.insert(Pending.end(), page.header, page.header + page.header_len);
            Pending.insert(Pending.end(), page.body, page.body + page.body_len);
        }
    }

    // Hands on as much of Pending as fits into one output buffer.
    std::uint32_t Emit(std::uint8_t* output) {
        const std::size_t count = std::min<std::size_t>(Pending.size(), kOutputBufferSize);
        std::memcpy(output, Pending.data(), count);
        Pending.erase(Pending.begin(), Pending.begin() + static_cast<std::ptrdiff_t>(count));
        return static_cast<std::uint32_t>(count);
    }

    vorbis_info Info;
    vorbis_comment Comments;
    vorbis_dsp_state Dsp{};
    vorbis_block Block{};
    ogg_stream_state Stream{};
    bool DspReady = false;
    bool BlockReady = false;
    bool StreamReady = false;
    bool Ended = false;
    int Channels = 2;
    std::vector<std::uint8_t> Pending;
};

StreamTable& Streams() {
    static StreamTable table;
    return table;
}

VorbisStream* Find(BeStream stream) {
    return dynamic_cast<VorbisStream*>(Streams().Find(stream));
}

// The text a field of the record points to; false for a distance that lands inside the record.
bool TextAt(const void* config, std::uint32_t distance, const char** text) {
    if (distance == 0) {
        *text = nullptr;
        return true;
    }
    if (distance < sizeof(BeOggConfig)) {
        return false;
    }
    *text = static_cast<const char*>(config) + distance;
    return true;
}

// Bit-rate management (a rate held within bounds over a sliding window) encodes every block
// several ways, over four times the CPU of encoding it once, so it is only asked for when the
// record sets a minimum or a maximum; a nominal rate alone picks the quality mode that averages
// about that rate. 0 on success.
int SetUpForBitrate(vorbis_info& info, long channels, long rate, const BeOggConfig& record) {
    const auto bps = [](std::int32_t kbps) { return kbps > 0 ? kbps * 1000L : -1L; };
    const long maximum = bps(record.MaxBitrate);
    const long minimum = bps(record.MinBitrate);
    int result =
        vorbis_encode_setup_managed(&info, channels, rate, maximum, bps(record.Bitrate), minimum);
    if (result == 0 && maximum < 0 && minimum < 0) {
        result = vorbis_encode_ctl(&info, OV_ECTL_RATEMANAGE2_SET, nullptr);
    }
    return result == 0 ? vorbis_encode_setup_init(&info) : result;
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
    std::uint32_t head[2];
    std::memcpy(head, config, sizeof head);
    if (head[0] != BeConfigOgg || head[1] < 2) {
        return BeErrInvalidFormat;
    }
    BeOggConfig record;
    std::memcpy(&record, config, sizeof record);
    static constexpr struct {
        std::uint32_t BeOggConfig::*Field;
        const char* Tag;
    } kTexts[] = {
        {&BeOggConfig::Title, "TITLE"},
        {&BeOggConfig::Artist, "ARTIST"},
        {&BeOggConfig::Album, "ALBUM"},
        {&BeOggConfig::Genre, "GENRE"},
        {&BeOggConfig::TrackNumber, "TRACKNUMBER"},
        {&BeOggConfig::Comment, "COMMENT"},
        {&BeOggConfig::Copyright, "COPYRIGHT"},
        {&BeOggConfig::Date, "DATE"},
    };
    const char* texts[std::size(kTexts)];
    for (std::size_t i = 0; i < std::size(kTexts); ++i) {
        if (!TextAt(config, record.*(kTexts[i].Field), &texts[i])) {
            return BeErrInvalidFormat;
        }
    }
    if (record.Channels < 1 || record.Channels > 2 || record.SampleRate == 0) {
        return BeErrInvalidParameters;
    }

    auto encoder = std::make_unique<VorbisStream>();
    encoder->Channels = static_cast<int>(record.Channels);
    const long channels = encoder->Channels;
    const long rate = static_cast<long>(record.SampleRate);
    int result = -1;
    if (record.Bitrate > 0) {
        result = SetUpForBitrate(encoder->Info, channels, rate, record);
    }
    if (result != 0) {
        vorbis_info_clear(&encoder->Info);
        vorbis_info_init(&encoder->Info);
        result = vorbis_encode_init_vbr(&encoder->Info, channels, rate, kFallbackQuality);
    }
    if (result != 0) {
        return BeErrInvalidParameters;
    }
    for (std::size_t i = 0; i < std::size(kTexts); ++i) {
        if (texts[i] && texts[i][0] != '\0') {
            vorbis_comment_add_tag(&encoder->Comments, kTexts[i].Tag, texts[i]);
        }
    }
    if (vorbis_analysis_init(&encoder->Dsp, &encoder->Info) != 0) {
        return BeErrInvalidParameters;
    }
    encoder->DspReady = true;
    vorbis_block_init(&encoder->Dsp, &encoder->Block);
    encoder->BlockReady = true;
    std::random_device random;
    ogg_stream_init(&encoder->Stream, static_cast<int>(random() & 0x7FFFFFFF));
    encoder->StreamReady = true;

    // The three header packets, the identification header alone on the first page and the
    // audio starting on a fresh page, as the Ogg Vorbis mapping asks.
    ogg_packet identification;
    ogg_packet comments;
    ogg_packet codebooks;
    vorbis_analysis_headerout(&encoder->Dsp, &encoder->Comments, &identification, &comments,
                              &codebooks);
    ogg_stream_packetin(&encoder->Stream, &identification);
    encoder->TakePages(true);
    ogg_stream_packetin(&encoder->Stream, &comments);
    ogg_stream_packetin(&encoder->Stream, &codebooks);
    encoder->TakePages(true);

    const BeStream handle = Streams().Add(std::move(encoder));
    if (handle == 0) {
        return BeErrNoMoreHandles;
    }
    *samplesPerChunk = kFramesPerChunk * record.Channels;
    *outputBufferSize = kOutputBufferSize;
    *stream = handle;
    return BeOk;
}

BE_EXPORT BeResult beEncodeChunk(BeStream stream, std::uint32_t samples, const std::int16_t* pcm,
                                 std::uint8_t* output, std::uint32_t* outputBytes) {
    VorbisStream* encoder = Find(stream);
    if (!encoder || encoder->Ended) {
        return BeErrInvalidHandle;
    }
    if (!outputBytes || !output) {
        return BeErrBufferTooSmall;
    }
    *outputBytes = 0;
    const std::uint32_t frames = samples / static_cast<std::uint32_t>(encoder->Channels);
    if (frames > kFramesPerChunk || (frames > 0 && !pcm)) {
        return BeErrBufferTooSmall;
    }
    // No samples must not reach vorbis_analysis_wrote: 0 there means end of stream.
    if (frames > 0) {
        float** buffer = vorbis_analysis_buffer(&encoder->Dsp, static_cast<int>(frames));
        const int channels = encoder->Channels;
        for (std::uint32_t i = 0; i < frames; ++i) {
            for (int c = 0; c < channels; ++c) {
                buffer[c][i] = static_cast<float>(pcm[i * channels + c]) / 32768.0f;
            }
        }
        vorbis_analysis_wrote(&encoder->Dsp, static_cast<int>(frames));
        encoder->Drain();
    }
    *outputBytes = encoder->Emit(output);
    return BeOk;
}

BE_EXPORT BeResult beDeinitStream(BeStream stream, std::uint8_t* output,
                                  std::uint32_t* outputBytes) {
    VorbisStream* encoder = Find(stream);
    if (!encoder) {
        return BeErrInvalidHandle;
    }
    if (!outputBytes || !output) {
        return BeErrBufferTooSmall;
    }
    if (!encoder->Ended) {
        encoder->Ended = true;
        vorbis_analysis_wrote(&encoder->Dsp, 0);
        encoder->Drain();
        encoder->TakePages(true);
    }
    *outputBytes = encoder->Emit(output);
    return encoder->Pending.empty() ? BeOk : BeErrBufferTooSmall;
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
    // "Xiph.Org libVorbis 1.3.7": the numbers follow the last blank.
    const char* text = vorbis_version_string();
    std::snprintf(version->Engine, sizeof version->Engine, "%s", text);
    const char* numbers = std::strrchr(text, ' ');
    unsigned major = 0;
    unsigned minor = 0;
    if (numbers && std::sscanf(numbers + 1, "%u.%u", &major, &minor) == 2) {
        version->EngineMajor = static_cast<std::uint8_t>(major);
        version->EngineMinor = static_cast<std::uint8_t>(minor);
    }
}

}  // extern "C"

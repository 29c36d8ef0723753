#include "sim/FrameLoop.h"

#include <twolame.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

#include "sim/AirFile.h"
#include "sim/ProgrammeGenerator.h"

namespace {

constexpr double LoopSeconds = 7.68;  // 320 frames at 48 kHz, 160 at 24 kHz
constexpr int kMaxWavSeconds = 120;
constexpr int kWarmUpFrames = 4;  // the filter bank sees the loop's end before its start

struct Encoder {
    twolame_options* options = twolame_init();
    ~Encoder() { twolame_close(&options); }
};

TWOLAME_MPEG_mode Mode(const std::string& mode) {
    if (mode == "mono") {
        return TWOLAME_MONO;
    }
    if (mode == "joint") {
        return TWOLAME_JOINT_STEREO;
    }
    if (mode == "dual") {
        return TWOLAME_DUAL_CHANNEL;
    }
    return TWOLAME_STEREO;
}

}  // namespace

int FrameLoop::ScfCrcLengthFor(int sampleRate, int channels, int kbps) {
    if (sampleRate != 48000) {
        return 4;
    }
    return kbps / channels >= 56 ? 4 : 2;
}

std::shared_ptr<const FrameLoop> FrameLoop::Encode(const AirComponent& c) {
    if (!c.audio) {
        throw std::runtime_error("a data component has no audio");
    }
    const int crcLength = ScfCrcLengthFor(c.sampleRate, c.channels, c.bitrate);
    const int frameLength = 144 * c.bitrate * 1000 / c.sampleRate;

    int frames =
        static_cast<int>(LoopSeconds * c.sampleRate / ProgrammeGenerator::kSamplesPerFrame + 0.5);
    std::vector<std::int16_t> pcm;
    if (c.wavFile.empty()) {
        pcm = ProgrammeGenerator::Generate(c.programme, c.key, c.sampleRate, c.channels, frames);
    } else {
        const int maxFrames = kMaxWavSeconds * c.sampleRate / ProgrammeGenerator::kSamplesPerFrame;
        pcm = ProgrammeGenerator::ReadWav(c.wavFile, c.sampleRate, c.channels, maxFrames, frames);
    }

    Encoder e;
    twolame_options* o = e.options;
    if (o == nullptr) {
        throw std::runtime_error("twolame_init failed");
    }
    twolame_set_verbosity(o, 0);
    twolame_set_num_channels(o, c.channels);
    twolame_set_mode(o, Mode(c.mode));
    twolame_set_in_samplerate(o, c.sampleRate);
    twolame_set_out_samplerate(o, c.sampleRate);
    twolame_set_version(o, c.sampleRate == 48000 ? TWOLAME_MPEG1 : TWOLAME_MPEG2);
    twolame_set_bitrate(o, c.bitrate);
    twolame_set_error_protection(o, TRUE);
    twolame_set_DAB(o, TRUE);
    twolame_set_DAB_xpad_length(o, kXPadLength);
    twolame_set_DAB_crc_length(o, crcLength);
    // The DAB switch reserves nothing: the tail is reserved as ancillary data.
    twolame_set_num_ancillary_bits(o, 8 * (kXPadLength + crcLength + kFPadLength));
    if (twolame_init_params(o) != 0) {
        throw std::runtime_error("twolame refused " + std::to_string(c.bitrate) + " kbit/s " +
                                 c.mode);
    }

    auto loop = std::shared_ptr<FrameLoop>(new FrameLoop());
    loop->count_ = static_cast<std::size_t>(frames);
    loop->frameLength_ = frameLength;
    loop->scfCrcLength_ = crcLength;
    loop->frameSeconds_ = static_cast<double>(ProgrammeGenerator::kSamplesPerFrame) / c.sampleRate;
    loop->bytes_.assign(loop->count_ * frameLength, 0);

    const std::size_t stride =
        static_cast<std::size_t>(ProgrammeGenerator::kSamplesPerFrame) * c.channels;
    std::vector<std::int16_t> left(ProgrammeGenerator::kSamplesPerFrame);
    std::vector<std::int16_t> right(ProgrammeGenerator::kSamplesPerFrame);
    std::vector<unsigned char> out(frameLength + 2048);
    std::vector<unsigned char> warm(frameLength);
    std::vector<unsigned char> firstCrc(frameLength);
    unsigned char* previous = nullptr;
    const int warmUp = std::min(kWarmUpFrames, frames);
    for (int j = 0; j < warmUp + frames; ++j) {
        // One frame's samples a call, so that each call yields exactly one frame.
        const int source = j < warmUp ? frames - warmUp + j : j - warmUp;
        const std::int16_t* p = pcm.data() + source * stride;
        for (int i = 0; i < ProgrammeGenerator::kSamplesPerFrame; ++i) {
            left[i] = p[i * c.channels];
            right[i] = p[i * c.channels + (c.channels - 1)];
        }
        const int n = twolame_encode_buffer(o, left.data(), right.data(),
                                            ProgrammeGenerator::kSamplesPerFrame, out.data(),
                                            static_cast<int>(out.size()));
        if (n != frameLength) {
            throw std::runtime_error("twolame gave " + std::to_string(n) +
                                     " bytes for a frame of " + std::to_string(frameLength));
        }
        unsigned char* current =
            j < warmUp ? warm.data()
                       : loop->bytes_.data() + static_cast<std::size_t>(j - warmUp) * frameLength;
        std::memcpy(current, out.data(), frameLength);
        // The check of this frame's scale factors belongs at the end of the frame before it.
        if (previous != nullptr) {
            twolame_set_DAB_scf_crc(o, previous, frameLength);
        }
        if (j == warmUp) {
            std::memcpy(firstCrc.data(), current, frameLength);
            twolame_set_DAB_scf_crc(o, firstCrc.data(), frameLength);
        }
        previous = current;
    }
    // The loop's last frame is followed by its first.
    const int crcAt = frameLength - kFPadLength - crcLength;
    std::memcpy(loop->bytes_.data() + (loop->count_ - 1) * frameLength + crcAt,
                firstCrc.data() + crcAt, crcLength);
    for (std::size_t f = 0; f < loop->count_; ++f) {
        unsigned char* frame = loop->bytes_.data() + f * frameLength;
        std::memset(frame + crcAt - kXPadLength, 0, kXPadLength);
        std::memset(frame + frameLength - kFPadLength, 0, kFPadLength);
    }
    return loop;
}

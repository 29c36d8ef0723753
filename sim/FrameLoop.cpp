#include "sim/FrameLoop.h"

#include <twolame.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

#include "sim/AirFile.h"
#include "sim/ProgrammeGenerator.h"
#include "sim/WavReader.h"

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

std::shared_ptr<const FrameLoop> FrameLoop::Encode(const AirComponent& c, std::stop_token stop) {
    if (!c.audio) {
        throw std::runtime_error("a data component has no audio");
    }
    const int crcLength = ScfCrcLengthFor(c.sampleRate, c.channels, c.bitrate);
    const int frameLength = 144 * c.bitrate * 1000 / c.sampleRate;
    const std::size_t stride =
        static_cast<std::size_t>(ProgrammeGenerator::kSamplesPerFrame) * c.channels;

    // The programme's samples, one frame at a time: generated whole (one short loop), or
    // streamed from the WAV file.
    std::vector<std::int16_t> generated;
    std::unique_ptr<WavReader> wav;
    std::size_t maxFrames = 0;
    if (c.wavFile.empty()) {
        const int frames = static_cast<int>(
            LoopSeconds * c.sampleRate / ProgrammeGenerator::kSamplesPerFrame + 0.5);
        generated =
            ProgrammeGenerator::Generate(c.programme, c.key, c.sampleRate, c.channels, frames);
        maxFrames = static_cast<std::size_t>(frames);
    } else {
        wav = std::make_unique<WavReader>(c.wavFile, c.sampleRate, stop);
        maxFrames = static_cast<std::size_t>(kMaxWavSeconds) * c.sampleRate /
                    ProgrammeGenerator::kSamplesPerFrame;
    }
    std::size_t produced = 0;
    const auto next = [&](std::int16_t* pcm) {
        if (produced == maxFrames) {
            return false;
        }
        if (wav) {
            if (!wav->ReadFrame(pcm, c.channels)) {
                return false;
            }
        } else {
            std::copy_n(generated.begin() + static_cast<std::ptrdiff_t>(produced * stride), stride,
                        pcm);
        }
        ++produced;
        return true;
    };

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

    std::vector<std::int16_t> pcm(stride);
    std::vector<std::int16_t> left(ProgrammeGenerator::kSamplesPerFrame);
    std::vector<std::int16_t> right(ProgrammeGenerator::kSamplesPerFrame);
    std::vector<unsigned char> out(frameLength + 2048);
    // One frame's samples a call, so that each call yields exactly one frame.
    const auto encode = [&](const std::int16_t* p) {
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
    };

    auto loop = std::shared_ptr<FrameLoop>(new FrameLoop());
    loop->frameLength_ = frameLength;
    loop->scfCrcLength_ = crcLength;
    loop->frameSeconds_ = static_cast<double>(ProgrammeGenerator::kSamplesPerFrame) / c.sampleRate;
    std::vector<std::uint8_t>& bytes = loop->bytes_;
    const auto frameAt = [&](std::size_t index) { return bytes.data() + index * frameLength; };
    // The check of a frame's scale factors belongs at the end of the frame before it.
    const auto checkInto = [&](std::size_t index) {
        twolame_set_DAB_scf_crc(o, frameAt(index), frameLength);
    };

    // The first frames' samples come round again after the last to close the loop.
    std::vector<std::int16_t> head;
    while (next(pcm.data())) {
        if (produced <= static_cast<std::size_t>(kWarmUpFrames)) {
            head.insert(head.end(), pcm.begin(), pcm.end());
        }
        encode(pcm.data());
        bytes.insert(bytes.end(), out.begin(), out.begin() + frameLength);
        if (produced > 1) {
            checkInto(produced - 2);
        }
    }
    const std::size_t count = produced;
    if (count == 0) {
        throw std::runtime_error(c.wavFile + ": shorter than one frame");
    }
    loop->count_ = count;

    // Encoded again with the filter bank warmed by the loop's end, the first frames join it
    // without a seam. The last of them keeps the check of the frame after it, which is not
    // encoded again (or, when every frame was, the check of the new first frame).
    const int crcAt = frameLength - kFPadLength - crcLength;
    const std::size_t again = std::min<std::size_t>(kWarmUpFrames, count);
    std::vector<std::uint8_t> firstCheck(crcLength);
    std::vector<std::uint8_t> nextCheck(crcLength);
    for (std::size_t k = 0; k < again; ++k) {
        encode(head.data() + k * stride);
        checkInto(k == 0 ? count - 1 : k - 1);
        if (k == 0) {
            std::copy_n(frameAt(count - 1) + crcAt, crcLength, firstCheck.begin());
        }
        std::copy_n(frameAt(k) + crcAt, crcLength, nextCheck.begin());
        std::copy_n(out.begin(), frameLength, frameAt(k));
        if (k + 1 == again) {
            std::copy_n((again == count ? firstCheck : nextCheck).begin(), crcLength,
                        frameAt(k) + crcAt);
        }
    }
    for (std::size_t f = 0; f < count; ++f) {
        std::memset(frameAt(f) + crcAt - kXPadLength, 0, kXPadLength);
        std::memset(frameAt(f) + frameLength - kFPadLength, 0, kFPadLength);
    }
    bytes.shrink_to_fit();
    return loop;
}

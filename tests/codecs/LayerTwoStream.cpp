#include "LayerTwoStream.h"

#include <twolame.h>

#include <cmath>
#include <numbers>
#include <stdexcept>

std::vector<std::int16_t> MakeSine(int sampleRate, int channels, double seconds, double frequency) {
    const auto frames = static_cast<std::size_t>(sampleRate * seconds);
    std::vector<std::int16_t> pcm(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i) {
        const double value = 16384.0 * std::sin(2 * std::numbers::pi * frequency *
                                                static_cast<double>(i) / sampleRate);
        for (int c = 0; c < channels; ++c) {
            pcm[i * channels + c] = static_cast<std::int16_t>(std::lround(value));
        }
    }
    return pcm;
}

LayerTwoStream MakeLayerTwo(int sampleRate, int channels, int bitrate, double seconds) {
    twolame_options* options = twolame_init();
    twolame_set_num_channels(options, channels);
    twolame_set_in_samplerate(options, sampleRate);
    twolame_set_out_samplerate(options, sampleRate);
    twolame_set_mode(options, channels == 1 ? TWOLAME_MONO : TWOLAME_STEREO);
    twolame_set_bitrate(options, bitrate);
    twolame_set_DAB(options, 1);
    if (twolame_init_params(options) != 0) {
        twolame_close(&options);
        throw std::runtime_error("twolame refused the parameters");
    }
    std::vector<std::int16_t> pcm = MakeSine(sampleRate, channels, seconds, 440);
    LayerTwoStream stream;
    stream.SampleRate = sampleRate;
    stream.Channels = channels;
    stream.FrameBytes = 144 * bitrate * 1000 / sampleRate;
    stream.Bytes.resize(pcm.size() * 2 + 16384);
    const int frames = static_cast<int>(pcm.size()) / channels;
    int used = twolame_encode_buffer_interleaved(options, pcm.data(), frames, stream.Bytes.data(),
                                                 static_cast<int>(stream.Bytes.size()));
    used += twolame_encode_flush(options, stream.Bytes.data() + used,
                                 static_cast<int>(stream.Bytes.size()) - used);
    twolame_close(&options);
    stream.Bytes.resize(static_cast<std::size_t>(used));
    stream.Frames = used / stream.FrameBytes;
    return stream;
}

int ZeroCrossings(const std::vector<std::int16_t>& pcm, int channels, int channel) {
    int crossings = 0;
    for (std::size_t i = channel + channels; i < pcm.size(); i += channels) {
        if ((pcm[i - channels] < 0) != (pcm[i] < 0)) {
            ++crossings;
        }
    }
    return crossings;
}

#pragma once

#include <cstdint>
#include <vector>

// Real MPEG Layer II audio for the codec tests, made with libtwolame in its DAB mode.
struct LayerTwoStream {
    std::vector<std::uint8_t> Bytes;
    int Frames = 0;
    int FrameBytes = 0;
    int SampleRate = 0;
    int Channels = 0;

    // PCM bytes one decoded frame gives (1152 samples per channel, 16 bits).
    int PcmBytesPerFrame() const { return 1152 * Channels * 2; }
};

// A `frequency` Hz sine at half scale for `seconds`, 16-bit interleaved, the same in every
// channel.
std::vector<std::int16_t> MakeSine(int sampleRate, int channels, double seconds, double frequency);

// `seconds` of a 440 Hz sine encoded at `sampleRate` (48000: MPEG-1, 24000: MPEG-2) and
// `bitrate` kbit/s, mono or stereo.
LayerTwoStream MakeLayerTwo(int sampleRate, int channels, int bitrate, double seconds);

// Sign changes of channel `channel` in 16-bit interleaved PCM: about twice the frequency per
// second of a sine.
int ZeroCrossings(const std::vector<std::int16_t>& pcm, int channels, int channel);

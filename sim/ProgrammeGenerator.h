#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The audio a simulated service broadcasts: interleaved 16-bit PCM of exactly `frames` × 1152
// samples per channel, periodic, so that the encoded frames can be looped without a seam.
class ProgrammeGenerator {
public:
    static constexpr int kSamplesPerFrame = 1152;

    // A generated programme in one of the air file's styles (chords, melody, arpeggio, bells,
    // drone, speech), transposed by `key` semitones.
    static std::vector<std::int16_t> Generate(const std::string& style, int key, int sampleRate,
                                              int channels, int frames);
};

#include "sim/ProgrammeGenerator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace {

constexpr double kPi = 3.14159265358979323846;

enum class Timbre { Pad, Pluck, Bell, Bass, Drone };

struct Note {
    double start;     // seconds into the loop
    double duration;  // held length; pads and drones release after it
    double frequency;
    double amplitude;
    double pan;  // -1 left .. +1 right
    Timbre timbre;
};

double Tone(double root, int semitones) {
    return root * std::pow(2.0, semitones / 12.0);
}

// Renders notes into a stereo float buffer of one loop; a note running past the loop's end
// continues at its start, which keeps the loop seamless.
class Renderer {
public:
    Renderer(int rate, std::size_t samples) : rate_(rate), left_(samples), right_(samples) {}

    void Add(const Note& n) {
        const double tail = Tail(n.timbre);
        const std::size_t total = left_.size();
        const auto count = static_cast<std::size_t>((n.duration + tail) * rate_);
        const auto first = static_cast<std::size_t>(n.start * rate_);
        const double gl = n.amplitude * std::sqrt((1.0 - n.pan) / 2.0);
        const double gr = n.amplitude * std::sqrt((1.0 + n.pan) / 2.0);
        for (std::size_t i = 0; i < count && i < total; ++i) {
            const double t = static_cast<double>(i) / rate_;
            const double v = Sample(n, t);
            const std::size_t at = (first + i) % total;
            left_[at] += static_cast<float>(v * gl);
            right_[at] += static_cast<float>(v * gr);
        }
    }

    std::vector<float>& Left() { return left_; }
    std::vector<float>& Right() { return right_; }

private:
    static double Tail(Timbre t) {
        switch (t) {
            case Timbre::Pad:
                return 0.35;
            case Timbre::Drone:
                return 0.6;
            case Timbre::Pluck:
                return 1.2;
            case Timbre::Bass:
                return 0.6;
            case Timbre::Bell:
                return 3.5;
        }
        return 0.5;
    }

    double Sample(const Note& n, double t) const {
        const double w = 2 * kPi * n.frequency * t;
        switch (n.timbre) {
            case Timbre::Pad:
            case Timbre::Drone: {
                const double attack = n.timbre == Timbre::Pad ? 0.08 : 0.5;
                const double release = Tail(n.timbre);
                double env = std::min(1.0, t / attack);
                if (t > n.duration) {
                    env *= std::max(0.0, 1.0 - (t - n.duration) / release);
                }
                const double vibrato = 1.0 + 0.04 * std::sin(2 * kPi * 5.0 * t);
                return env * vibrato *
                       (std::sin(w) + 0.45 * std::sin(2 * w) + 0.2 * std::sin(3 * w) +
                        0.08 * std::sin(4 * w));
            }
            case Timbre::Pluck: {
                const double env = std::min(1.0, t / 0.004);
                double v = 0;
                for (int k = 1; k <= 6; ++k) {
                    v += std::exp(-t * (2.5 + 1.5 * k)) * std::sin(k * w) / k;
                }
                return env * v;
            }
            case Timbre::Bass: {
                const double env = std::min(1.0, t / 0.01) * std::exp(-t * 2.2);
                return env * (std::sin(w) + 0.3 * std::sin(2 * w) + 0.1 * std::sin(3 * w));
            }
            case Timbre::Bell: {
                static const double kRatio[] = {1.0, 2.0, 2.76, 5.4, 8.93};
                static const double kAmp[] = {1.0, 0.55, 0.4, 0.22, 0.1};
                double v = 0;
                for (int k = 0; k < 5; ++k) {
                    v += kAmp[k] * std::exp(-t * (0.9 + 0.8 * k)) * std::sin(kRatio[k] * w);
                }
                return std::min(1.0, t / 0.002) * v;
            }
        }
        return 0;
    }

    int rate_;
    std::vector<float> left_;
    std::vector<float> right_;
};

// I - vi - IV - V, one chord a bar: semitones of the chord tones above the root.
const int kProgression[4][3] = {{0, 4, 7}, {-3, 0, 4}, {-7, -3, 0}, {-5, -1, 2}};
const int kBassNote[4] = {0, -3, -7, -5};

void Chords(Renderer& r, double beat, double root) {
    for (int bar = 0; bar < 4; ++bar) {
        const double start = bar * 4 * beat;
        for (int v = 0; v < 3; ++v) {
            r.Add({start, 4 * beat, Tone(root, kProgression[bar][v] + 12), 0.22, -0.5 + 0.5 * v,
                   Timbre::Pad});
        }
        for (int b = 0; b < 4; b += 2) {
            r.Add({start + b * beat, 2 * beat, Tone(root, kBassNote[bar] - 12), 0.35, 0,
                   Timbre::Bass});
        }
    }
}

void Melody(Renderer& r, double beat, double root) {
    // A pentatonic tune, two notes a beat, over a plucked bass.
    static const int kTune[32] = {12, 14, 16, 19, 16, 14, 12, 9, 12, 16, 19, 21, 19, 16, 14, 12,
                                  9,  12, 14, 16, 14, 12, 9,  7, 7,  9,  12, 14, 16, 14, 12, 12};
    for (int i = 0; i < 32; ++i) {
        const double len = (i % 8 == 7) ? beat : beat / 2;
        r.Add({i * beat / 2, len, Tone(root, kTune[i]), 0.3, 0.25, Timbre::Pluck});
    }
    for (int bar = 0; bar < 4; ++bar) {
        for (int b = 0; b < 4; ++b) {
            r.Add({(bar * 4 + b) * beat, beat, Tone(root, kBassNote[bar] - 12 + (b % 2) * 7), 0.3,
                   -0.3, Timbre::Bass});
        }
    }
}

void Arpeggio(Renderer& r, double beat, double root) {
    for (int bar = 0; bar < 4; ++bar) {
        for (int i = 0; i < 16; ++i) {
            static const int kOrder[8] = {0, 1, 2, 3, 4, 3, 2, 1};
            const int step = kOrder[i % 8];
            const int semis = kProgression[bar][step % 3] + 12 * (step / 3) + 12;
            r.Add({(bar * 4 + i / 4.0) * beat, beat / 4, Tone(root, semis), 0.22,
                   -0.6 + 0.3 * (step % 5), Timbre::Pluck});
        }
        r.Add({bar * 4 * beat, 4 * beat, Tone(root, kBassNote[bar] - 12), 0.2, 0, Timbre::Pad});
    }
}

void Bells(Renderer& r, double beat, double root) {
    static const int kPeal[8] = {12, 7, 9, 4, 5, 0, 2, -5};
    for (int i = 0; i < 8; ++i) {
        r.Add({i * 2 * beat, 0.1, Tone(root, kPeal[i] + 12), 0.3, (i % 2) ? 0.4 : -0.4,
               Timbre::Bell});
    }
    for (int bar = 0; bar < 4; ++bar) {
        r.Add({bar * 4 * beat, 4 * beat, Tone(root, kBassNote[bar]), 0.12, 0, Timbre::Pad});
    }
}

void Drone(Renderer& r, double beat, double root) {
    // Two long overlapping fifths that swell in turn.
    for (int half = 0; half < 2; ++half) {
        const double start = half * 8 * beat;
        r.Add({start, 8 * beat, Tone(root, half ? -5 : 0), 0.3, -0.4, Timbre::Drone});
        r.Add({start, 8 * beat, Tone(root, half ? 2 : 7), 0.22, 0.4, Timbre::Drone});
        r.Add({start + 2 * beat, 6 * beat, Tone(root, half ? 14 : 12), 0.1, 0, Timbre::Drone});
    }
}

// Speech-like babble: a glottal buzz with an intonation contour shaped by the formants of a
// sequence of vowels, in syllables and words with pauses between.
void Speech(std::vector<float>& out, int rate, double root) {
    struct Vowel {
        double f1, f2, f3;
    };
    static const Vowel vowels[] = {{730, 1090, 2440}, {270, 2290, 3010}, {530, 1840, 2480},
                                   {570, 840, 2410},  {300, 870, 2240},  {660, 1720, 2410}};
    const std::size_t total = out.size();
    const double seconds = static_cast<double>(total) / rate;
    const double syllable = 0.19;
    double phase = 0;
    for (std::size_t i = 0; i < total; ++i) {
        const double t = static_cast<double>(i) / rate;
        const int index = static_cast<int>(t / syllable);
        const double within = t - index * syllable;
        // Words of 3 to 5 syllables, then a pause of one syllable.
        const int pattern = index % 10;
        const bool pause = pattern == 4 || pattern == 9;
        const double f0 = (root / 2 + 20) * (1.0 + 0.12 * std::sin(2 * kPi * t / seconds * 7) -
                                             0.08 * within / syllable);
        phase += f0 / rate;
        phase -= std::floor(phase);
        if (pause) {
            continue;
        }
        const Vowel& v = vowels[(index * 7 + 3) % 6];
        const double env = std::sin(kPi * within / syllable);
        double s = 0;
        for (int k = 1; k * f0 < std::min(4000.0, rate / 2.0 - 200); ++k) {
            const double f = k * f0;
            auto peak = [f](double centre, double width) {
                const double d = (f - centre) / width;
                return 1.0 / (1.0 + d * d);
            };
            const double gain = peak(v.f1, 90) + 0.6 * peak(v.f2, 120) + 0.3 * peak(v.f3, 160);
            s += gain * std::sin(2 * kPi * k * phase) / std::sqrt(k);
        }
        out[i] += static_cast<float>(env * env * s);
    }
}

std::vector<std::int16_t> ToPcm(std::vector<float>& left, std::vector<float>& right, int channels) {
    float peak = 1e-6f;
    for (std::size_t i = 0; i < left.size(); ++i) {
        const float m = channels == 1 ? (left[i] + right[i]) / 2 : 0;
        if (channels == 1) {
            left[i] = m;
        }
        peak = std::max({peak, std::fabs(left[i]), channels == 2 ? std::fabs(right[i]) : 0.0f});
    }
    const float gain = 0.35f * 32767 / peak;  // about -9 dBFS at the loudest moment
    std::vector<std::int16_t> pcm(left.size() * channels);
    for (std::size_t i = 0; i < left.size(); ++i) {
        pcm[i * channels] = static_cast<std::int16_t>(std::lrint(left[i] * gain));
        if (channels == 2) {
            pcm[i * 2 + 1] = static_cast<std::int16_t>(std::lrint(right[i] * gain));
        }
    }
    return pcm;
}

}  // namespace

std::vector<std::int16_t> ProgrammeGenerator::Generate(const std::string& style, int key,
                                                       int sampleRate, int channels, int frames) {
    const std::size_t samples = static_cast<std::size_t>(frames) * kSamplesPerFrame;
    const double seconds = static_cast<double>(samples) / sampleRate;
    const double beat = seconds / 16;  // four bars of four beats
    const double root = Tone(220.0, key);
    Renderer r(sampleRate, samples);
    if (style == "melody") {
        Melody(r, beat, root);
    } else if (style == "arpeggio") {
        Arpeggio(r, beat, root);
    } else if (style == "bells") {
        Bells(r, beat, root);
    } else if (style == "drone") {
        Drone(r, beat, root);
    } else if (style == "speech") {
        Speech(r.Left(), sampleRate, root);
        r.Right() = r.Left();
    } else {
        Chords(r, beat, root);
    }
    return ToPcm(r.Left(), r.Right(), channels);
}

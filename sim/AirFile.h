#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// What the simulated receiver broadcasts, as read from an air file (format: sim/AIR_FORMAT.md).
// Labels are 8-bit text: the file's bytes, with escapes already resolved.

// One entry of a component's rotating dynamic labels; `remove` is the remove-label command.
struct AirLabel {
    bool remove = false;
    std::string text;
};

struct AirComponent {
    std::int32_t handle = 0;  // assigned after parsing; unique in the whole air
    int line = 0;             // where it was declared, for messages
    std::string label;
    bool audio = true;
    int dataType = 0;        // DAB data service component type (data components)
    int bitrate = 0;         // kbit/s
    int channels = 2;        // 1 = single channel
    std::string mode;        // mono, stereo, joint or dual
    int sampleRate = 48000;  // 48000 or 24000 (MPEG-2 half rate)
    int musicSpeech = 0;     // 0 not signalled, 1 music, 2 speech
    std::string programme;   // generated programme style
    int key = 0;             // transposition of the generated programme, semitones
    std::string wavFile;     // absolute path of a WAV file to loop instead; empty = generated
    double rotateSeconds = 8.0;
    std::vector<AirLabel> labels;
};

struct AirService {
    std::uint32_t sid = 0;
    int line = 0;
    std::string label;
    int programmeType = 0;
    std::vector<AirComponent> components;  // the first is the primary component
};

struct AirEnsemble {
    double frequency = 0;  // MHz
    std::uint16_t eid = 0;
    int line = 0;
    std::string label;
    double errorRatio = 0;
    int settleMs = 0;
    std::vector<AirService> services;
};

struct Air {
    bool unpaced = false;
    std::vector<AirEnsemble> ensembles;
};

// A fault in an air file: `what()` is "file:line: message" (line 0 when the file is unreadable).
class AirError : public std::runtime_error {
public:
    AirError(const std::string& file, int line, const std::string& message);
    int Line() const { return line_; }

private:
    int line_;
};

class AirFile {
public:
    // `name` only labels the messages; relative WAV paths are resolved against `baseDir`.
    static Air Parse(const std::string& text, const std::string& name = "air",
                     const std::string& baseDir = ".");
    static Air Load(const std::string& path);

    // Tolerance of the frequency match: a tune within half a kHz reaches the ensemble.
    static const AirEnsemble* FindEnsemble(const Air& air, double frequencyMHz);
    static bool InBand(double frequencyMHz);
    // MPEG Layer II bit rates allowed for a sample rate and channel mode.
    static bool ValidBitrate(int sampleRate, bool singleChannel, int kbps);
};

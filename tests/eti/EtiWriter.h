#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct AirEnsemble;

// Test-only: writes ETI-NI files of an ensemble so the ETI component can be tested without a
// receiver. It encodes the FIC itself (FIG 0/0, 0/1 long and short form, 0/2, 0/3, 0/8, 0/17,
// 1/0, 1/1, 1/4, 1/5 with FIB CRCs), independently of the component's decoder, and fills each
// audio sub-channel with the simulated receiver's own MPEG Layer II frames with their PAD.
class EtiWriter {
public:
    struct Options {
        // Length of the file, rounded up to an even number of 24 ms frames (whole 24 kHz
        // Layer II frames).
        double seconds = 10;
        // DAB charset of FIG 1 labels: 0 EBU Latin (the label must have a code for each
        // character), 6 UCS-2 (8 characters fit), 15 UTF-8 (cut at whole characters to 16 bytes).
        int labelCharset = 0;
        int errorLevel = 0;  // ERR byte level for every frame, 0-3
    };
    // Every frame's bytes, in order, for `ensemble` as the simulated component would broadcast
    // it. Components get sub-channels in declaration order; data components are packet mode.
    static std::vector<std::uint8_t> Write(const AirEnsemble& ensemble, const Options& options);
    static void WriteFile(const AirEnsemble& ensemble, const Options& options,
                          const std::string& path);

    // The Layer II frames written for an audio component, in order (for byte comparison).
    static std::vector<std::vector<std::uint8_t>> AudioFrames(const AirEnsemble& ensemble,
                                                              std::uint32_t sid, int component,
                                                              const Options& options);
};

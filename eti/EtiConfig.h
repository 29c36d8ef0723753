#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// Where the ETI receiver finds each ensemble (format: eti/ETI_CONFIG.md): per DAB channel or
// frequency either an ETI-NI recording or a live command whose standard output is an ETI-NI
// stream.
struct EtiSourceEntry {
    enum class Kind { File, Live };
    int line = 0;
    Kind kind = Kind::File;
    double frequency = 0;              // MHz; 0 for the `*` entry (every channel of the table)
    std::string path;                  // File: absolute path of the recording
    bool loop = false;                 // File: start again at its end
    std::vector<std::string> command;  // Live: program and arguments, before substitution
};

struct EtiConfigData {
    bool unpaced = false;  // recordings are read as fast as they can be, not in real time
    std::vector<EtiSourceEntry> entries;
};

// A fault in a configuration: `what()` is "file:line: message" (line 0 when unreadable).
class EtiConfigError : public std::runtime_error {
public:
    EtiConfigError(const std::string& file, int line, const std::string& message);
};

class EtiConfig {
public:
    // `name` only labels the messages; relative recording paths are resolved against `baseDir`.
    static EtiConfigData Parse(const std::string& text, const std::string& name = "eti.conf",
                               const std::string& baseDir = ".");
    static EtiConfigData Load(const std::string& path);

    // The entry serving `frequencyMHz` (within half a kHz): its own, else the `*` entry when the
    // frequency is a channel of the table; null when none.
    static const EtiSourceEntry* Find(const EtiConfigData& config, double frequencyMHz);

    // The live command's words with %c (channel name, or the frequency in MHz when it is no
    // channel), %f (MHz, three decimals), %k (kHz) and %% substituted.
    static std::vector<std::string> Substitute(const std::vector<std::string>& command,
                                               double frequencyMHz);

    // Splits a command line into words at blanks; '...' and "..." group (a backslash escapes "
    // and \ inside double quotes, any character outside quotes). nullopt on an open quote.
    static std::optional<std::vector<std::string>> SplitWords(const std::string& line);

    // The standard channels: Band III 5A-13F (with 10N, 11N, 12N) and L-Band LA-LW.
    static std::optional<double> ChannelFrequency(const std::string& name);
    static std::string ChannelName(double frequencyMHz);  // empty when none
    static bool InBand(double frequencyMHz);
};

#include "eti/EtiConfig.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

struct Channel {
    const char* name;
    double mhz;
};

// EN 50248 / ETSI TR 101 496-3 centre frequencies.
constexpr std::array kChannels = {
    Channel{"5A", 174.928},  Channel{"5B", 176.640},  Channel{"5C", 178.352},
    Channel{"5D", 180.064},  Channel{"6A", 181.936},  Channel{"6B", 183.648},
    Channel{"6C", 185.360},  Channel{"6D", 187.072},  Channel{"7A", 188.928},
    Channel{"7B", 190.640},  Channel{"7C", 192.352},  Channel{"7D", 194.064},
    Channel{"8A", 195.936},  Channel{"8B", 197.648},  Channel{"8C", 199.360},
    Channel{"8D", 201.072},  Channel{"9A", 202.928},  Channel{"9B", 204.640},
    Channel{"9C", 206.352},  Channel{"9D", 208.064},  Channel{"10A", 209.936},
    Channel{"10N", 210.096}, Channel{"10B", 211.648}, Channel{"10C", 213.360},
    Channel{"10D", 215.072}, Channel{"11A", 216.928}, Channel{"11N", 217.088},
    Channel{"11B", 218.640}, Channel{"11C", 220.352}, Channel{"11D", 222.064},
    Channel{"12A", 223.936}, Channel{"12N", 224.096}, Channel{"12B", 225.648},
    Channel{"12C", 227.360}, Channel{"12D", 229.072}, Channel{"13A", 230.784},
    Channel{"13B", 232.496}, Channel{"13C", 234.208}, Channel{"13D", 235.776},
    Channel{"13E", 237.488}, Channel{"13F", 239.200}, Channel{"LA", 1452.960},
    Channel{"LB", 1454.672}, Channel{"LC", 1456.384}, Channel{"LD", 1458.096},
    Channel{"LE", 1459.808}, Channel{"LF", 1461.520}, Channel{"LG", 1463.232},
    Channel{"LH", 1464.944}, Channel{"LI", 1466.656}, Channel{"LJ", 1468.368},
    Channel{"LK", 1470.080}, Channel{"LL", 1471.792}, Channel{"LM", 1473.504},
    Channel{"LN", 1475.216}, Channel{"LO", 1476.928}, Channel{"LP", 1478.640},
    Channel{"LQ", 1480.352}, Channel{"LR", 1482.064}, Channel{"LS", 1483.776},
    Channel{"LT", 1485.488}, Channel{"LU", 1487.200}, Channel{"LV", 1488.912},
    Channel{"LW", 1490.624},
};

constexpr double kToleranceMHz = 0.0005;

bool Same(double a, double b) {
    return std::fabs(a - b) < kToleranceMHz;
}

// Words of a line; with `comments`, a word starting with '#' outside quotes ends the line.
std::optional<std::vector<std::string>> Words(const std::string& line, bool comments) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char ch = line[i];
        if (ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n') {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
            continue;
        }
        if (ch == '#' && !inWord && comments) {
            break;
        }
        inWord = true;
        if (ch == '\'' || ch == '"') {
            const std::size_t close = [&] {
                for (std::size_t j = i + 1; j < line.size(); ++j) {
                    if (line[j] == ch) {
                        return j;
                    }
                    if (ch == '"' && line[j] == '\\' && j + 1 < line.size()) {
                        ++j;
                    }
                }
                return std::string::npos;
            }();
            if (close == std::string::npos) {
                return std::nullopt;
            }
            for (std::size_t j = i + 1; j < close; ++j) {
                if (ch == '"' && line[j] == '\\' && (line[j + 1] == '"' || line[j + 1] == '\\')) {
                    ++j;
                }
                word += line[j];
            }
            i = close;
        } else if (ch == '\\' && i + 1 < line.size()) {
            word += line[++i];
        } else {
            word += ch;
        }
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

std::optional<double> Number(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string Format(const char* format, double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

}  // namespace

EtiConfigError::EtiConfigError(const std::string& file, int line, const std::string& message)
    : std::runtime_error(file + ":" + std::to_string(line) + ": " + message) {}

std::optional<std::vector<std::string>> EtiConfig::SplitWords(const std::string& line) {
    return Words(line, false);
}

std::optional<double> EtiConfig::ChannelFrequency(const std::string& name) {
    for (const Channel& c : kChannels) {
        if (name == c.name) {
            return c.mhz;
        }
    }
    return std::nullopt;
}

std::string EtiConfig::ChannelName(double frequencyMHz) {
    for (const Channel& c : kChannels) {
        if (Same(c.mhz, frequencyMHz)) {
            return c.name;
        }
    }
    return {};
}

bool EtiConfig::InBand(double frequencyMHz) {
    return (frequencyMHz >= 174.0 && frequencyMHz <= 240.0) ||
           (frequencyMHz >= 1452.0 && frequencyMHz <= 1492.0);
}

EtiConfigData EtiConfig::Parse(const std::string& text, const std::string& name,
                               const std::string& baseDir) {
    EtiConfigData config;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const auto fail = [&](const std::string& message) {
            throw EtiConfigError(name, number, message);
        };
        const auto words = Words(line, true);
        if (!words) {
            fail("unterminated quote");
        }
        if (words->empty()) {
            continue;
        }
        const std::string& keyword = (*words)[0];
        if (keyword == "option") {
            if (words->size() != 2 || (*words)[1] != "unpaced") {
                fail("expected \"option unpaced\"");
            }
            config.unpaced = true;
            continue;
        }
        if (keyword != "file" && keyword != "live") {
            fail("unknown statement \"" + keyword + "\" (expected option, file or live)");
        }
        if (words->size() < 3) {
            fail("expected \"" + keyword + " CHANNEL|MHZ " +
                 (keyword == "file" ? "PATH [loop]\"" : "COMMAND ...\""));
        }
        EtiSourceEntry entry;
        entry.line = number;
        const std::string& where = (*words)[1];
        if (where == "*") {
            if (keyword != "live") {
                fail("\"*\" serves live commands only");
            }
        } else if (const auto channel = ChannelFrequency(where)) {
            entry.frequency = *channel;
        } else if (const auto mhz = Number(where); mhz && InBand(*mhz)) {
            entry.frequency = *mhz;
        } else {
            fail("\"" + where +
                 "\" is neither a channel (5A-13F, LA-LW) nor a frequency in MHz of Band III or "
                 "L-Band");
        }
        for (const EtiSourceEntry& other : config.entries) {
            if (other.frequency == entry.frequency ||
                (entry.frequency != 0 && Same(other.frequency, entry.frequency))) {
                fail("\"" + where + "\" is already served (line " + std::to_string(other.line) +
                     ")");
            }
        }
        if (keyword == "file") {
            entry.kind = EtiSourceEntry::Kind::File;
            entry.path = (*words)[2];
            if (!entry.path.empty() && entry.path[0] != '/') {
                entry.path = baseDir + "/" + entry.path;
            }
            if (words->size() > 4 || (words->size() == 4 && (*words)[3] != "loop")) {
                fail("expected \"file CHANNEL|MHZ PATH [loop]\"");
            }
            entry.loop = words->size() == 4;
            if (!std::ifstream(entry.path, std::ios::binary)) {
                fail("cannot read the recording " + entry.path);
            }
        } else {
            entry.kind = EtiSourceEntry::Kind::Live;
            entry.command.assign(words->begin() + 2, words->end());
        }
        config.entries.push_back(std::move(entry));
    }
    return config;
}

EtiConfigData EtiConfig::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw EtiConfigError(path, 0, "cannot read the configuration");
    }
    std::ostringstream text;
    text << in.rdbuf();
    const std::size_t slash = path.find_last_of('/');
    return Parse(text.str(), path, slash == std::string::npos ? "." : path.substr(0, slash));
}

const EtiSourceEntry* EtiConfig::Find(const EtiConfigData& config, double frequencyMHz) {
    const EtiSourceEntry* any = nullptr;
    for (const EtiSourceEntry& e : config.entries) {
        if (e.frequency == 0) {
            any = &e;
        } else if (Same(e.frequency, frequencyMHz)) {
            return &e;
        }
    }
    return any != nullptr && !ChannelName(frequencyMHz).empty() ? any : nullptr;
}

std::vector<std::string> EtiConfig::Substitute(const std::vector<std::string>& command,
                                               double frequencyMHz) {
    std::string channel = ChannelName(frequencyMHz);
    if (channel.empty()) {
        channel = Format("%.3f", frequencyMHz);
    }
    std::vector<std::string> words;
    for (const std::string& word : command) {
        std::string out;
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (word[i] != '%' || i + 1 == word.size()) {
                out += word[i];
                continue;
            }
            switch (word[++i]) {
                case 'c':
                    out += channel;
                    break;
                case 'f':
                    out += Format("%.3f", frequencyMHz);
                    break;
                case 'k':
                    out += Format("%.0f", frequencyMHz * 1000.0);
                    break;
                case '%':
                    out += '%';
                    break;
                default:
                    out += '%';
                    out += word[i];
            }
        }
        words.push_back(std::move(out));
    }
    return words;
}

#include "sim/AirFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

namespace {

constexpr std::size_t kMaxLabelLength = 16;          // DAB ensemble, service and component labels
constexpr std::size_t kMaxDynamicLabelLength = 128;  // 8 segments of 16 characters

struct Token {
    std::string key;  // empty for a bare word or a bare quoted string
    std::string value;
    bool quoted = false;
};

class LineReader {
public:
    LineReader(const std::string& file, int line) : file_(file), line_(line) {}

    [[noreturn]] void Fail(const std::string& message) const {
        throw AirError(file_, line_, message);
    }

    std::vector<Token> Tokens(const std::string& text) const {
        std::vector<Token> tokens;
        std::size_t i = 0;
        while (true) {
            while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
                ++i;
            }
            if (i >= text.size() || text[i] == '#') {
                break;
            }
            Token token;
            if (text[i] != '"') {
                const std::size_t start = i;
                while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '=' &&
                       text[i] != '"') {
                    ++i;
                }
                token.value = text.substr(start, i - start);
                if (i < text.size() && text[i] == '=') {
                    token.key = token.value;
                    token.value.clear();
                    ++i;
                    if (i < text.size() && text[i] == '"') {
                        token.value = Quoted(text, i);
                        token.quoted = true;
                    } else {
                        const std::size_t vstart = i;
                        while (i < text.size() && text[i] != ' ' && text[i] != '\t') {
                            ++i;
                        }
                        token.value = text.substr(vstart, i - vstart);
                    }
                    if (token.key.empty()) {
                        Fail("'=' without a key");
                    }
                } else if (i < text.size() && text[i] == '"') {
                    Fail("unexpected '\"' after '" + token.value + "'");
                }
            } else {
                token.value = Quoted(text, i);
                token.quoted = true;
            }
            if (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '#') {
                Fail("expected a blank after '" + (token.key.empty() ? token.value : token.key) +
                     "'");
            }
            tokens.push_back(std::move(token));
        }
        return tokens;
    }

    std::uint32_t Id(const std::string& key, const std::string& value, std::uint64_t max) const {
        const std::uint64_t v = Unsigned(key, value);
        if (v == 0 || v > max) {
            Fail(key + " out of range: " + value);
        }
        return static_cast<std::uint32_t>(v);
    }

    long Integer(const std::string& key, const std::string& value, long min, long max) const {
        errno = 0;
        char* end = nullptr;
        const long v = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || errno != 0) {
            Fail(key + " is not a whole number: '" + value + "'");
        }
        if (v < min || v > max) {
            Fail(key + " out of range (" + std::to_string(min) + " to " + std::to_string(max) +
                 "): " + value);
        }
        return v;
    }

    double Number(const std::string& key, const std::string& value) const {
        errno = 0;
        char* end = nullptr;
        const double v = std::strtod(value.c_str(), &end);
        if (value.empty() || *end != '\0' || errno != 0 || !std::isfinite(v)) {
            Fail(key + " is not a number: '" + value + "'");
        }
        return v;
    }

private:
    std::uint64_t Unsigned(const std::string& key, const std::string& value) const {
        const bool hex =
            value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X');
        errno = 0;
        char* end = nullptr;
        const char* digits = value.c_str() + (hex ? 2 : 0);
        const unsigned long long v = std::strtoull(digits, &end, hex ? 16 : 10);
        if (value.empty() || *end != '\0' || errno != 0 ||
            !std::isxdigit(static_cast<unsigned char>(digits[0]))) {
            Fail(key + " is not a number (decimal or 0x hexadecimal): '" + value + "'");
        }
        return v;
    }

    // Reads "..." from text[i] (the opening quote); leaves i after the closing quote.
    std::string Quoted(const std::string& text, std::size_t& i) const {
        std::string out;
        ++i;
        while (true) {
            if (i >= text.size()) {
                Fail("unterminated quoted text");
            }
            const char c = text[i++];
            if (c == '"') {
                return out;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i >= text.size()) {
                Fail("unterminated quoted text");
            }
            const char e = text[i++];
            switch (e) {
                case '\\':
                    out += '\\';
                    break;
                case '"':
                    out += '"';
                    break;
                case 'n':
                    out += '\x0A';
                    break;  // preferred line break
                case 'h':
                    out += '\x0B';
                    break;  // end of headline
                case '-':
                    out += '\x1F';
                    break;  // preferred word break
                case 'x': {
                    if (i + 2 > text.size() ||
                        !std::isxdigit(static_cast<unsigned char>(text[i])) ||
                        !std::isxdigit(static_cast<unsigned char>(text[i + 1]))) {
                        Fail("\\x needs two hexadecimal digits");
                    }
                    out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
                    i += 2;
                    break;
                }
                default:
                    Fail(std::string("unknown escape \\") + e);
            }
        }
    }

    const std::string& file_;
    int line_;
};

const std::set<std::string> kProgrammes = {"chords", "melody", "arpeggio",
                                           "bells",  "drone",  "speech"};

std::string Absolute(const std::string& baseDir, const std::string& path) {
    if (!path.empty() && path[0] == '/') {
        return path;
    }
    return baseDir + "/" + path;
}

void CheckLabel(const LineReader& r, const std::string& what, const std::string& label) {
    if (label.empty()) {
        r.Fail(what + " label is empty");
    }
    if (label.size() > kMaxLabelLength) {
        r.Fail(what + " label longer than 16 characters: \"" + label + "\"");
    }
}

void ParseEnsemble(const LineReader& r, const std::vector<Token>& t, int line, Air& air) {
    if (t.size() < 2 || !t[1].key.empty() || t[1].quoted) {
        r.Fail("ensemble needs its frequency in MHz first");
    }
    AirEnsemble e;
    e.line = line;
    e.frequency = r.Number("frequency", t[1].value);
    if (!AirFile::InBand(e.frequency)) {
        r.Fail("frequency " + t[1].value + " MHz is outside Band III and L-Band");
    }
    if (AirFile::FindEnsemble(air, e.frequency) != nullptr) {
        r.Fail("a second ensemble on " + t[1].value + " MHz");
    }
    bool haveEid = false;
    bool haveLabel = false;
    for (std::size_t i = 2; i < t.size(); ++i) {
        const Token& k = t[i];
        if (k.key == "eid") {
            e.eid = static_cast<std::uint16_t>(r.Id("eid", k.value, 0xFFFF));
            haveEid = true;
        } else if (k.key == "label") {
            e.label = k.value;
            haveLabel = true;
        } else if (k.key == "error") {
            e.errorRatio = r.Number("error", k.value);
            if (e.errorRatio < 0 || e.errorRatio > 1) {
                r.Fail("error ratio out of range (0 to 1): " + k.value);
            }
        } else if (k.key == "settle") {
            e.settleMs = static_cast<int>(r.Integer("settle", k.value, 0, 600000));
        } else {
            r.Fail("unknown ensemble key '" + (k.key.empty() ? k.value : k.key) + "'");
        }
    }
    if (!haveEid || !haveLabel) {
        r.Fail("ensemble needs eid= and label=");
    }
    CheckLabel(r, "ensemble", e.label);
    air.ensembles.push_back(std::move(e));
}

void ParseService(const LineReader& r, const std::vector<Token>& t, int line, Air& air) {
    if (air.ensembles.empty()) {
        r.Fail("service before any ensemble");
    }
    AirEnsemble& e = air.ensembles.back();
    AirService s;
    s.line = line;
    bool haveLabel = false;
    for (std::size_t i = 1; i < t.size(); ++i) {
        const Token& k = t[i];
        if (k.key == "sid") {
            s.sid = r.Id("sid", k.value, 0xFFFFFFFFull);
        } else if (k.key == "label") {
            s.label = k.value;
            haveLabel = true;
        } else if (k.key == "pty") {
            s.programmeType = static_cast<int>(r.Integer("pty", k.value, 0, 31));
        } else {
            r.Fail("unknown service key '" + (k.key.empty() ? k.value : k.key) + "'");
        }
    }
    if (s.sid == 0 || !haveLabel) {
        r.Fail("service needs sid= and label=");
    }
    CheckLabel(r, "service", s.label);
    if (s.sid == e.eid) {
        r.Fail("service id equals the ensemble id");
    }
    for (const AirService& other : e.services) {
        if (other.sid == s.sid) {
            r.Fail("service id used twice in one ensemble");
        }
    }
    e.services.push_back(std::move(s));
}

void ParseComponent(const LineReader& r, const std::vector<Token>& t, int line, Air& air,
                    const std::string& baseDir) {
    if (air.ensembles.empty() || air.ensembles.back().services.empty()) {
        r.Fail(t[0].value + " component before any service");
    }
    AirService& s = air.ensembles.back().services.back();
    AirComponent c;
    c.line = line;
    c.audio = t[0].value == "audio";
    c.mode = c.audio ? "stereo" : "";
    c.programme = "chords";
    bool haveLabel = false;
    bool haveBitrate = false;
    bool haveType = false;
    int rateKHz = 48;
    for (std::size_t i = 1; i < t.size(); ++i) {
        const Token& k = t[i];
        if (k.key == "label") {
            c.label = k.value;
            haveLabel = true;
        } else if (k.key == "bitrate") {
            c.bitrate = static_cast<int>(r.Integer("bitrate", k.value, 1, 1024));
            haveBitrate = true;
        } else if (!c.audio && k.key == "type") {
            c.dataType = static_cast<int>(r.Integer("type", k.value, 0, 63));
            haveType = true;
        } else if (c.audio && k.key == "mode") {
            if (k.value != "mono" && k.value != "stereo" && k.value != "joint" &&
                k.value != "dual") {
                r.Fail("mode must be mono, stereo, joint or dual: " + k.value);
            }
            c.mode = k.value;
        } else if (c.audio && k.key == "rate") {
            rateKHz = static_cast<int>(r.Integer("rate", k.value, 24, 48));
            if (rateKHz != 24 && rateKHz != 48) {
                r.Fail("rate must be 48 or 24 (kHz): " + k.value);
            }
        } else if (c.audio && k.key == "content") {
            if (k.value == "music") {
                c.musicSpeech = 1;
            } else if (k.value == "speech") {
                c.musicSpeech = 2;
            } else if (k.value == "none") {
                c.musicSpeech = 0;
            } else {
                r.Fail("content must be music, speech or none: " + k.value);
            }
        } else if (c.audio && k.key == "programme") {
            if (kProgrammes.count(k.value) == 0) {
                r.Fail("unknown programme '" + k.value +
                       "' (chords, melody, arpeggio, bells, drone or speech)");
            }
            c.programme = k.value;
        } else if (c.audio && k.key == "key") {
            c.key = static_cast<int>(r.Integer("key", k.value, -24, 24));
        } else if (c.audio && k.key == "wav") {
            c.wavFile = Absolute(baseDir, k.value);
        } else if (c.audio && k.key == "rotate") {
            c.rotateSeconds = r.Number("rotate", k.value);
            if (c.rotateSeconds < 0.1 || c.rotateSeconds > 86400) {
                r.Fail("rotate out of range (0.1 to 86400 seconds): " + k.value);
            }
        } else {
            r.Fail("unknown " + t[0].value + " key '" + (k.key.empty() ? k.value : k.key) + "'");
        }
    }
    if (!haveLabel || !haveBitrate || (!c.audio && !haveType)) {
        r.Fail(c.audio ? "audio component needs label= and bitrate="
                       : "data component needs label=, type= and bitrate=");
    }
    CheckLabel(r, "component", c.label);
    for (const AirComponent& other : s.components) {
        if (other.label == c.label) {
            r.Fail("two components of one service with the label \"" + c.label + "\"");
        }
    }
    if (c.audio) {
        c.sampleRate = rateKHz * 1000;
        c.channels = c.mode == "mono" ? 1 : 2;
        if (!AirFile::ValidBitrate(c.sampleRate, c.channels == 1, c.bitrate)) {
            r.Fail("bit rate " + std::to_string(c.bitrate) + " kbit/s is not a Layer II rate for " +
                   c.mode + " at " + std::to_string(rateKHz) + " kHz");
        }
    }
    s.components.push_back(std::move(c));
}

void ParseLabel(const LineReader& r, const std::vector<Token>& t, Air& air) {
    if (air.ensembles.empty() || air.ensembles.back().services.empty()) {
        r.Fail("dls before any component");
    }
    AirService& s = air.ensembles.back().services.back();
    if (s.components.empty()) {
        r.Fail("dls before any component");
    }
    AirComponent& c = s.components.back();
    if (!c.audio) {
        r.Fail("dynamic labels belong to audio components");
    }
    if (t.size() != 2 || !t[1].key.empty()) {
        r.Fail("dls takes one quoted text or the word remove");
    }
    AirLabel label;
    if (!t[1].quoted) {
        if (t[1].value != "remove") {
            r.Fail("dls takes one quoted text or the word remove");
        }
        label.remove = true;
    } else {
        label.text = t[1].value;
        if (label.text.empty()) {
            r.Fail("empty dynamic label (use: dls remove)");
        }
        if (label.text.size() > kMaxDynamicLabelLength) {
            r.Fail("dynamic label longer than 128 characters");
        }
    }
    c.labels.push_back(std::move(label));
}

// Component handles: from 0x10001 upward, skipping every ensemble and service id of the air, so
// that one id names one thing wherever an id of any kind is accepted.
void AssignHandles(Air& air) {
    std::set<std::uint32_t> taken;
    for (const AirEnsemble& e : air.ensembles) {
        taken.insert(e.eid);
        for (const AirService& s : e.services) {
            taken.insert(s.sid);
        }
    }
    std::uint32_t next = 0x10001;
    for (AirEnsemble& e : air.ensembles) {
        for (AirService& s : e.services) {
            for (AirComponent& c : s.components) {
                while (taken.count(next) != 0) {
                    ++next;
                }
                c.handle = static_cast<std::int32_t>(next++);
            }
        }
    }
}

}  // namespace

namespace {

// The line starting at `at` without its end (LF, CR or CRLF); `at` moves past the end. False
// when the text is used up.
bool NextLine(const std::string& text, std::size_t& at, std::string& line) {
    if (at >= text.size()) {
        return false;
    }
    const std::size_t end = std::min(text.find_first_of("\r\n", at), text.size());
    line.assign(text, at, end - at);
    at = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    return true;
}

}  // namespace

AirError::AirError(const std::string& file, int line, const std::string& message)
    : std::runtime_error(file + ":" + std::to_string(line) + ": " + message), line_(line) {}

Air AirFile::Parse(const std::string& text, const std::string& name, const std::string& baseDir) {
    Air air;
    std::size_t at = 0;
    std::string raw;
    int line = 0;
    const AirService* openService = nullptr;
    int openServiceLine = 0;
    auto closeService = [&] {
        if (openService != nullptr && openService->components.empty()) {
            throw AirError(name, openServiceLine, "service without components");
        }
    };
    while (NextLine(text, at, raw)) {
        ++line;
        LineReader r(name, line);
        const std::vector<Token> t = r.Tokens(raw);
        if (t.empty()) {
            continue;
        }
        if (!t[0].key.empty() || t[0].quoted) {
            r.Fail("a line starts with a keyword");
        }
        const std::string& word = t[0].value;
        if (word == "option") {
            if (t.size() != 2 || !t[1].key.empty() || t[1].value != "unpaced") {
                r.Fail("unknown option (known: unpaced)");
            }
            air.unpaced = true;
        } else if (word == "ensemble") {
            closeService();
            openService = nullptr;
            ParseEnsemble(r, t, line, air);
        } else if (word == "service") {
            closeService();
            ParseService(r, t, line, air);
            openService = &air.ensembles.back().services.back();
            openServiceLine = line;
        } else if (word == "audio" || word == "data") {
            ParseComponent(r, t, line, air, baseDir);
        } else if (word == "dls") {
            ParseLabel(r, t, air);
        } else {
            r.Fail("unknown keyword '" + word + "'");
        }
    }
    closeService();
    AssignHandles(air);
    return air;
}

Air AirFile::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw AirError(path, 0, "cannot read the air file");
    }
    std::ostringstream text;
    text << in.rdbuf();
    const std::size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    return Parse(text.str(), path, dir.empty() ? "/" : dir);
}

const AirEnsemble* AirFile::FindEnsemble(const Air& air, double frequencyMHz) {
    for (const AirEnsemble& e : air.ensembles) {
        if (std::fabs(e.frequency - frequencyMHz) < 0.0005) {
            return &e;
        }
    }
    return nullptr;
}

bool AirFile::InBand(double f) {
    return (f >= 174.0 && f <= 240.0) || (f >= 1452.0 && f <= 1492.0);
}

bool AirFile::ValidBitrate(int sampleRate, bool singleChannel, int kbps) {
    if (sampleRate == 24000) {
        static const int kLsf[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
        return std::find(std::begin(kLsf), std::end(kLsf), kbps) != std::end(kLsf);
    }
    // MPEG-1 Layer II: 32 to 80 only for single channel, 224 and above only for two channels.
    static const int kMono[] = {32, 48, 56, 64, 80, 96, 112, 128, 160, 192};
    static const int kTwo[] = {64, 96, 112, 128, 160, 192, 224, 256, 320, 384};
    return singleChannel ? std::find(std::begin(kMono), std::end(kMono), kbps) != std::end(kMono)
                         : std::find(std::begin(kTwo), std::end(kTwo), kbps) != std::end(kTwo);
}

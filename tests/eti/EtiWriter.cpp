#include "tests/eti/EtiWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>

#include "eti/EtiFrame.h"
#include "receiver/DabCharset.h"
#include "sim/AirFile.h"
#include "sim/FrameLoop.h"
#include "sim/PadEncoder.h"

namespace {

constexpr double kFrameSeconds = 0.024;
constexpr int kCapacityUnits = 864;     // of the MSC's common interleaved frame
constexpr std::size_t kFicLength = 96;  // mode I: 3 FIBs a frame
constexpr std::size_t kFibData = 30;
constexpr std::size_t kFibLength = 32;
constexpr std::size_t kFig0Data = kFibData - 2;  // after the FIG header and the extension byte
constexpr std::size_t kLabelLength = 16;
constexpr int kPacketAddress = 1;
constexpr std::size_t kPacketLength = 24;

// EN 300 401 table of UEP (short form) sub-channels: size in CU, protection level, kbit/s.
struct Uep {
    int size;
    int level;
    int bitrate;
};
constexpr Uep kUepTable[64] = {
    {16, 5, 32},   {21, 4, 32},   {24, 3, 32},   {29, 2, 32},   {35, 1, 32},   {24, 5, 48},
    {29, 4, 48},   {35, 3, 48},   {42, 2, 48},   {52, 1, 48},   {29, 5, 56},   {35, 4, 56},
    {42, 3, 56},   {52, 2, 56},   {32, 5, 64},   {42, 4, 64},   {48, 3, 64},   {58, 2, 64},
    {70, 1, 64},   {40, 5, 80},   {52, 4, 80},   {58, 3, 80},   {70, 2, 80},   {84, 1, 80},
    {48, 5, 96},   {58, 4, 96},   {70, 3, 96},   {84, 2, 96},   {104, 1, 96},  {58, 5, 112},
    {70, 4, 112},  {84, 3, 112},  {104, 2, 112}, {64, 5, 128},  {84, 4, 128},  {96, 3, 128},
    {116, 2, 128}, {140, 1, 128}, {80, 5, 160},  {104, 4, 160}, {116, 3, 160}, {140, 2, 160},
    {168, 1, 160}, {96, 5, 192},  {116, 4, 192}, {140, 3, 192}, {168, 2, 192}, {208, 1, 192},
    {116, 5, 224}, {140, 4, 224}, {168, 3, 224}, {208, 2, 224}, {232, 1, 224}, {128, 5, 256},
    {168, 4, 256}, {192, 3, 256}, {232, 2, 256}, {280, 1, 256}, {160, 5, 320}, {208, 4, 320},
    {280, 2, 320}, {192, 5, 384}, {280, 3, 384}, {416, 1, 384},
};
// EEP set A (long form, option 0): CU per 8 kbit/s for levels 1-A to 4-A.
constexpr int kEepACuPer8k[4] = {12, 8, 6, 4};

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v >> 8));
    b.push_back(static_cast<std::uint8_t>(v));
}

void PutSid(Bytes& b, std::uint32_t sid, bool longId) {
    if (longId) {
        Put16(b, sid >> 16);
    }
    Put16(b, sid & 0xFFFF);
}

bool LongId(const AirService& s) {
    return s.sid > 0xFFFF;
}

struct SubChannel {
    const AirService* service = nullptr;
    const AirComponent* component = nullptr;
    int id = 0;
    int scids = 0;       // the component's number within its service
    int packetScid = 0;  // data components: the ensemble-wide service component id
    int bitrate = 0;
    int start = 0;
    int size = 0;
    bool shortForm = false;
    int table = 0;  // short form: UEP table index
    int level = 2;  // long form: protection level as coded (0 = 1-A)
};

std::vector<SubChannel> Organise(const AirEnsemble& ensemble) {
    std::vector<SubChannel> subs;
    bool uepUsed = false;
    int nextScid = 1;
    for (const AirService& s : ensemble.services) {
        for (std::size_t k = 0; k < s.components.size(); ++k) {
            const AirComponent& c = s.components[k];
            SubChannel sub;
            sub.service = &s;
            sub.component = &c;
            sub.id = static_cast<int>(subs.size());
            sub.scids = static_cast<int>(k);
            // EEP set A carries multiples of 8 kbit/s.
            sub.bitrate = c.audio ? c.bitrate : std::max(8, (c.bitrate + 7) / 8 * 8);
            if (!c.audio) {
                sub.packetScid = nextScid++;
            }
            if (c.audio && !uepUsed) {
                int best = -1;
                for (int i = 0; i < 64; ++i) {
                    if (kUepTable[i].bitrate == c.bitrate &&
                        (best < 0 || kUepTable[i].level == 3)) {
                        best = i;
                    }
                }
                if (best >= 0) {
                    sub.shortForm = true;
                    sub.table = best;
                    uepUsed = true;
                }
            }
            subs.push_back(sub);
        }
    }
    if (subs.size() > 64) {
        throw std::invalid_argument("more than 64 sub-channels");
    }
    // Level 3-A, or 4-A when the ensemble would not fit otherwise.
    for (int level : {2, 3}) {
        int start = 0;
        for (SubChannel& sub : subs) {
            sub.level = level;
            sub.size =
                sub.shortForm ? kUepTable[sub.table].size : sub.bitrate / 8 * kEepACuPer8k[level];
            sub.start = start;
            start += sub.size;
        }
        if (start <= kCapacityUnits) {
            return subs;
        }
    }
    throw std::invalid_argument("the ensemble needs more than 864 capacity units");
}

// Bytes of the UTF-8 character at `i`; 1 for a byte that starts none.
std::size_t Utf8Length(const std::string& text, std::size_t i) {
    const auto b = static_cast<unsigned char>(text[i]);
    const std::size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    for (std::size_t k = 1; k < n; ++k) {
        if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return n;
}

// UTF-8 text as code points; bytes that do not decode pass as themselves.
std::u32string CodePoints(const std::string& text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = Utf8Length(text, i);
        const auto b = static_cast<unsigned char>(text[i]);
        char32_t cp = n == 1 ? b : b & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        out.push_back(cp);
        i += n;
    }
    return out;
}

// The 16 label bytes of a FIG 1 in `charset`, cut to whole characters and padded with blanks,
// followed by the character flags of a short label (the first up to 8 characters).
Bytes LabelField(const std::string& label, int charset) {
    Bytes text;
    int characters = 0;
    if (charset == 6) {
        for (char32_t cp : CodePoints(label)) {
            if (text.size() + 2 > kLabelLength) {
                break;
            }
            Put16(text, cp > 0xFFFF ? 0xFFFD : cp);
            ++characters;
        }
        while (text.size() < kLabelLength) {
            Put16(text, ' ');
        }
    } else if (charset == 15) {
        for (std::size_t i = 0, n; i < label.size(); i += n) {
            n = Utf8Length(label, i);
            if (text.size() + n > kLabelLength) {
                break;
            }
            text.insert(text.end(), label.begin() + static_cast<std::ptrdiff_t>(i),
                        label.begin() + static_cast<std::ptrdiff_t>(i + n));
            ++characters;
        }
    } else {
        const std::optional<std::string> ebu = DabCharset::ToEbuLatin(label);
        if (!ebu) {
            throw std::invalid_argument("no EBU Latin label for " + label);
        }
        text.assign(ebu->begin(), ebu->begin() + static_cast<std::ptrdiff_t>(
                                                     std::min(ebu->size(), kLabelLength)));
        characters = static_cast<int>(text.size());
    }
    text.resize(kLabelLength, ' ');
    const int flagged = std::min(characters, 8);
    Put16(text, static_cast<std::uint32_t>(0xFFFF0000u >> flagged) & 0xFFFF);
    return text;
}

Bytes Fig1(int extension, int charset, const Bytes& identifier, const Bytes& label) {
    Bytes fig{0, static_cast<std::uint8_t>((charset << 4) | extension)};
    fig.insert(fig.end(), identifier.begin(), identifier.end());
    fig.insert(fig.end(), label.begin(), label.end());
    fig[0] = static_cast<std::uint8_t>((1 << 5) | (fig.size() - 1));
    return fig;
}

// FIGs of type 0 with `entries` packed into as few as fit in a FIB.
void AddFig0(std::vector<Bytes>& figs, int extension, bool pd, const std::vector<Bytes>& entries) {
    Bytes fig;
    const auto close = [&] {
        if (fig.size() > 2) {
            fig[0] = static_cast<std::uint8_t>(fig.size() - 1);
            figs.push_back(fig);
        }
        fig = {0, static_cast<std::uint8_t>((pd ? 0x20 : 0) | extension)};
    };
    close();
    for (const Bytes& e : entries) {
        if (fig.size() - 2 + e.size() > kFig0Data) {
            close();
        }
        fig.insert(fig.end(), e.begin(), e.end());
    }
    close();
}

// Every FIG of the ensemble but 0/0, in the order they go round.
std::vector<Bytes> Figs(const AirEnsemble& ensemble, const std::vector<SubChannel>& subs,
                        int charset) {
    std::vector<Bytes> figs;
    std::vector<Bytes> org;
    for (const SubChannel& sub : subs) {
        Bytes e;
        Put16(e, static_cast<std::uint32_t>((sub.id << 10) | sub.start));
        if (sub.shortForm) {
            e.push_back(static_cast<std::uint8_t>(sub.table));  // short form, table switch 0
        } else {
            Put16(e, static_cast<std::uint32_t>(0x8000 | (sub.level << 10) | sub.size));
        }
        org.push_back(e);
    }
    AddFig0(figs, 1, false, org);

    for (bool data : {false, true}) {
        std::vector<Bytes> basic;
        std::vector<Bytes> global;
        for (const AirService& s : ensemble.services) {
            if (LongId(s) != data) {
                continue;
            }
            Bytes e;
            PutSid(e, s.sid, data);
            e.push_back(static_cast<std::uint8_t>(s.components.size()));
            for (const SubChannel& sub : subs) {
                if (sub.service != &s) {
                    continue;
                }
                const std::uint32_t ps = sub.scids == 0 ? 2 : 0;
                Bytes g;
                PutSid(g, s.sid, data);
                g.push_back(static_cast<std::uint8_t>(sub.scids));
                if (sub.component->audio) {
                    Put16(e, static_cast<std::uint32_t>((sub.id << 2) | ps));  // TMId 00, ASCTy 0
                    g.push_back(static_cast<std::uint8_t>(sub.id));
                } else {
                    Put16(e, static_cast<std::uint32_t>(0xC000 | (sub.packetScid << 2) | ps));
                    Put16(g, static_cast<std::uint32_t>(0x8000 | sub.packetScid));
                }
                global.push_back(g);
            }
            basic.push_back(e);
        }
        AddFig0(figs, 2, data, basic);
        AddFig0(figs, 8, data, global);
    }

    std::vector<Bytes> packet;
    std::vector<Bytes> types;
    for (const SubChannel& sub : subs) {
        if (!sub.component->audio) {
            Bytes e;
            Put16(e, static_cast<std::uint32_t>(sub.packetScid << 4));
            e.push_back(static_cast<std::uint8_t>(sub.component->dataType));  // DG flag 0
            Put16(e, static_cast<std::uint32_t>((sub.id << 10) | kPacketAddress));
            packet.push_back(e);
        }
    }
    AddFig0(figs, 3, false, packet);
    for (const AirService& s : ensemble.services) {
        if (!LongId(s)) {
            Bytes e;
            Put16(e, s.sid);
            e.push_back(0x00);  // S/D 0: static programme type; no language, no complement
            e.push_back(static_cast<std::uint8_t>(s.programmeType & 0x1F));
            types.push_back(e);
        }
    }
    AddFig0(figs, 17, false, types);

    Bytes eid;
    Put16(eid, ensemble.eid);
    figs.push_back(Fig1(0, charset, eid, LabelField(ensemble.label, charset)));
    for (const AirService& s : ensemble.services) {
        Bytes id;
        PutSid(id, s.sid, LongId(s));
        figs.push_back(Fig1(LongId(s) ? 5 : 1, charset, id, LabelField(s.label, charset)));
    }
    for (const SubChannel& sub : subs) {
        Bytes id{static_cast<std::uint8_t>((LongId(*sub.service) ? 0x80 : 0) | sub.scids)};
        PutSid(id, sub.service->sid, LongId(*sub.service));
        figs.push_back(Fig1(4, charset, id, LabelField(sub.component->label, charset)));
    }
    return figs;
}

// One audio component's frames as they go on air from air time 0, PAD written in.
class AudioSource {
public:
    explicit AudioSource(const AirComponent& c)
        : loop_(FrameLoop::Encode(c)),
          pad_(c, loop_->FrameSeconds()),
          frame_(static_cast<std::size_t>(loop_->FrameLength())) {}

    // Frames must be asked for in air order; asking again for the last one gives it unchanged.
    const Bytes& Frame(std::int64_t index) {
        if (index == index_) {
            return frame_;
        }
        index_ = index;
        std::memcpy(frame_.data(), loop_->Frame(static_cast<std::size_t>(index)), frame_.size());
        pad_.Fill(frame_.data(), loop_->FrameLength(), loop_->ScfCrcLength(), index);
        return frame_;
    }
    // ETI frames (24 ms) each audio frame spans: 1 at 48 kHz, 2 at 24 kHz.
    int Span() const { return loop_->FrameSeconds() > 1.5 * kFrameSeconds ? 2 : 1; }

private:
    std::shared_ptr<const FrameLoop> loop_;
    PadEncoder pad_;
    Bytes frame_;
    std::int64_t index_ = -1;
};

// Whole 48 ms, so that a 24 kHz frame is never cut off at the end.
std::int64_t FrameCount(const EtiWriter::Options& options) {
    const auto n = static_cast<std::int64_t>(std::ceil(options.seconds / kFrameSeconds - 1e-9));
    return n + (n & 1);
}

Bytes PaddingPacket() {
    // 24 bytes, address 0, first and last, no useful data.
    Bytes p{0x0C, 0x00, 0x00};
    p.resize(kPacketLength - 2, 0);
    Put16(p, EtiFrame::Crc16(p.data(), p.size()));
    return p;
}

std::uint8_t ErrByte(int level) {
    static constexpr std::uint8_t kErr[4] = {0xFF, 0x0F, 0xF0, 0x00};
    return kErr[std::clamp(level, 0, 3)];
}

}  // namespace

std::vector<std::uint8_t> EtiWriter::Write(const AirEnsemble& ensemble, const Options& options) {
    const std::vector<SubChannel> subs = Organise(ensemble);
    const std::vector<Bytes> figs = Figs(ensemble, subs, options.labelCharset);
    std::vector<std::unique_ptr<AudioSource>> sources;
    for (const SubChannel& sub : subs) {
        sources.push_back(sub.component->audio ? std::make_unique<AudioSource>(*sub.component)
                                               : nullptr);
    }
    const Bytes padding = PaddingPacket();
    const std::int64_t count = FrameCount(options);

    Bytes out;
    out.reserve(static_cast<std::size_t>(count) * EtiFrame::kSize);
    std::size_t nextFig = 0;
    for (std::int64_t n = 0; n < count; ++n) {
        Bytes f;
        f.reserve(EtiFrame::kSize);
        f.push_back(ErrByte(options.errorLevel));
        const std::uint32_t sync = n % 2 == 0 ? EtiFrame::kSyncEven : EtiFrame::kSyncOdd;
        f.push_back(static_cast<std::uint8_t>(sync >> 16));
        Put16(f, sync & 0xFFFF);
        // FC: FCT; FICF 1, NST; FP, MID 01 (mode I), FL in words of STC, EOH and MST.
        std::size_t words = subs.size() + 1 + kFicLength / 4;
        for (const SubChannel& sub : subs) {
            words += static_cast<std::size_t>(sub.bitrate * 3 / 4);
        }
        f.push_back(static_cast<std::uint8_t>(n % 250));
        f.push_back(static_cast<std::uint8_t>(0x80 | subs.size()));
        Put16(f, static_cast<std::uint32_t>(((n % 8) << 13) | (1 << 11) | words));
        for (const SubChannel& sub : subs) {
            // TPL: 01 and the level for UEP; 1, option and level for EEP.
            const int tpl =
                sub.shortForm ? 0x10 | (kUepTable[sub.table].level - 1) : 0x20 | sub.level;
            Put16(f, static_cast<std::uint32_t>((sub.id << 10) | sub.start));
            Put16(f, static_cast<std::uint32_t>((tpl << 10) | (sub.bitrate * 3 / 8)));
        }
        Put16(f, 0);  // MNSC
        Put16(f, EtiFrame::Crc16(f.data() + 4, f.size() - 4));

        const std::size_t mst = f.size();
        for (std::size_t fib = 0; fib < kFicLength / kFibLength; ++fib) {
            const std::size_t start = f.size();
            if (fib == 0) {
                // FIG 0/0 every frame: EId, no change, no alarm, CIF count.
                f.insert(f.end(), {0x05, 0x00});
                Put16(f, ensemble.eid);
                Put16(f, static_cast<std::uint32_t>((((n / 250) % 20) << 8) | (n % 250)));
            }
            for (std::size_t tried = 0; tried < figs.size(); ++tried) {
                const Bytes& fig = figs[nextFig];
                if (f.size() - start + fig.size() > kFibData) {
                    break;
                }
                f.insert(f.end(), fig.begin(), fig.end());
                nextFig = (nextFig + 1) % figs.size();
            }
            if (f.size() - start < kFibData) {
                f.push_back(0xFF);  // end marker, then padding
                f.resize(start + kFibData, 0x00);
            }
            Put16(f, EtiFrame::Crc16(f.data() + start, kFibData));
        }
        for (std::size_t i = 0; i < subs.size(); ++i) {
            const std::size_t length = static_cast<std::size_t>(subs[i].bitrate) * 3;
            if (sources[i]) {
                AudioSource& a = *sources[i];
                const Bytes& frame = a.Frame(n / a.Span());
                const auto half = static_cast<std::ptrdiff_t>((n % a.Span()) * length);
                f.insert(f.end(), frame.begin() + half,
                         frame.begin() + half + static_cast<std::ptrdiff_t>(length));
            } else {
                for (std::size_t k = 0; k < length; k += kPacketLength) {
                    f.insert(f.end(), padding.begin(), padding.end());
                }
            }
        }
        Put16(f, EtiFrame::Crc16(f.data() + mst, f.size() - mst));
        Put16(f, 0xFFFF);            // RFU
        f.insert(f.end(), 4, 0xFF);  // TIST: no time stamp
        f.resize(EtiFrame::kSize, 0x55);
        out.insert(out.end(), f.begin(), f.end());
    }
    return out;
}

void EtiWriter::WriteFile(const AirEnsemble& ensemble, const Options& options,
                          const std::string& path) {
    const Bytes bytes = Write(ensemble, options);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::vector<std::vector<std::uint8_t>> EtiWriter::AudioFrames(const AirEnsemble& ensemble,
                                                              std::uint32_t sid, int component,
                                                              const Options& options) {
    for (const AirService& s : ensemble.services) {
        if (s.sid != sid) {
            continue;
        }
        if (component < 0 || static_cast<std::size_t>(component) >= s.components.size() ||
            !s.components[static_cast<std::size_t>(component)].audio) {
            break;
        }
        AudioSource a(s.components[static_cast<std::size_t>(component)]);
        std::vector<Bytes> frames;
        for (std::int64_t k = 0; k < FrameCount(options) / a.Span(); ++k) {
            frames.push_back(a.Frame(k));
        }
        return frames;
    }
    throw std::invalid_argument("no such audio component");
}

#include "eti/FicDecoder.h"

#include <algorithm>
#include <array>

#include "eti/EtiFrame.h"
#include "receiver/DabCharset.h"

namespace {

constexpr std::size_t kFibLength = 32;
constexpr std::size_t kFibDataLength = 30;  // FIGs; the CRC follows
constexpr std::uint8_t kEndMarker = 0xFF;
constexpr std::size_t kLabelLength = 16;

struct UepEntry {
    int size;     // capacity units
    int level;    // protection level 1-5
    int bitrate;  // kbit/s
};

// The short form's table of sub-channel sizes for audio (UEP), by table index.
constexpr std::array<UepEntry, 64> kUep = {{
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
}};

// Long form (EEP): capacity units per step of bit rate, by protection level 1-4 as coded 0-3;
// option A steps 8 kbit/s, option B 32 kbit/s.
constexpr std::array<int, 4> kEepAUnits = {12, 8, 6, 4};
constexpr std::array<int, 4> kEepBUnits = {27, 21, 18, 15};

// The FIB's last two bytes carry the CRC of its 30 data bytes (the ETI header's CRC).
bool FibCrcOk(const std::uint8_t* fib) {
    const std::uint16_t sent = static_cast<std::uint16_t>((fib[30] << 8) | fib[31]);
    return EtiFrame::Crc16(fib, kFibDataLength) == sent;
}

std::uint32_t ReadId(const std::uint8_t* d, bool longId) {
    std::uint32_t id = (std::uint32_t{d[0]} << 8) | d[1];
    if (longId) {
        id = (id << 16) | (std::uint32_t{d[2]} << 8) | d[3];
    }
    return id;
}

// A FIG 1 label without the dynamic label's control codes, which mean nothing in a label.
std::string Label(const std::uint8_t* d, int charset) {
    std::string label = DabCharset::ToUtf8(d, kLabelLength, charset);
    std::erase_if(label, [](char c) { return c == '\n' || c == '\v' || c == '\x1F'; });
    label.erase(label.find_last_not_of(' ') + 1);
    return label;
}

// What FIG 0/2 itself says of a component (the rest comes from other FIGs).
bool SameDefinition(const FicComponent& a, const FicComponent& b) {
    if (a.tmid != b.tmid || a.primary != b.primary) {
        return false;
    }
    return a.tmid == 3 ? a.packetId == b.packetId
                       : a.type == b.type && a.subChannelId == b.subChannelId;
}

template <typename Map, typename Key, typename Value>
void Store(Map& map, const Key& key, const Value& value, bool& changed) {
    const auto [it, added] = map.try_emplace(key, value);
    if (!added && !(it->second == value)) {
        it->second = value;
        changed = true;
    }
    changed = changed || added;
}

}  // namespace

void FicDecoder::Feed(const std::uint8_t* fic, std::size_t length) {
    for (std::size_t at = 0; at + kFibLength <= length; at += kFibLength) {
        ++fibs_;
        if (!FibCrcOk(fic + at)) {
            ++badFibs_;
            continue;
        }
        Fib(fic + at);
    }
    if (changed_) {
        Resolve();
        changed_ = false;
    }
}

void FicDecoder::Fib(const std::uint8_t* fib) {
    std::size_t at = 0;
    while (at < kFibDataLength && fib[at] != kEndMarker) {
        const int type = fib[at] >> 5;
        const std::size_t length = fib[at] & 0x1F;
        if (at + 1 + length > kFibDataLength) {
            return;  // a FIG running past the FIB is not read at all
        }
        if (type == 0) {
            FigType0(fib + at + 1, length);
        } else if (type == 1) {
            FigType1(fib + at + 1, length);
        }
        at += 1 + length;
    }
}

void FicDecoder::FigType0(const std::uint8_t* fig, std::size_t length) {
    if (length < 1) {
        return;
    }
    const bool next = fig[0] & 0x80;     // C/N
    const bool other = fig[0] & 0x40;    // OE: about another ensemble
    const bool longIds = fig[0] & 0x20;  // P/D: 32-bit SIds
    const int extension = fig[0] & 0x1F;
    const std::uint8_t* d = fig + 1;
    const std::size_t n = length - 1;
    // C/N means "next configuration" for the FIGs of the multiplex configuration only.
    const bool configuration = extension == 1 || extension == 2 || extension == 3 || extension == 8;
    if (other || (next && configuration)) {
        return;
    }
    switch (extension) {
        case 0:
            if (n >= 2) {
                const auto eid = static_cast<std::uint16_t>(ReadId(d, false));
                changed_ = changed_ || !ensemble_.eidKnown || ensemble_.eid != eid;
                ensemble_.eid = eid;
                ensemble_.eidKnown = true;
            }
            break;
        case 1:
            SubChannels(d, n);
            break;
        case 2:
            Services(d, n, longIds);
            break;
        case 3:
            PacketComponents(d, n);
            break;
        case 8:
            GlobalDefinitions(d, n, longIds);
            break;
        case 17:
            if (!longIds) {  // programme types are for programme services
                ProgrammeTypes(d, n);
            }
            break;
        default:
            break;
    }
}

void FicDecoder::SubChannels(const std::uint8_t* d, std::size_t n) {
    for (std::size_t i = 0; i + 3 <= n;) {
        FicSubChannel s;
        s.id = d[i] >> 2;
        s.startAddress = ((d[i] & 0x03) << 8) | d[i + 1];
        s.shortForm = !(d[i + 2] & 0x80);
        if (s.shortForm) {
            const bool otherTable = d[i + 2] & 0x40;  // reserved for a future table
            s.protection = d[i + 2] & 0x3F;
            i += 3;
            if (otherTable) {
                continue;
            }
            const UepEntry& e = kUep[static_cast<std::size_t>(s.protection)];
            s.size = e.size;
            s.protectionLevel = e.level;
            s.bitrate = e.bitrate;
        } else {
            if (i + 4 > n) {
                return;
            }
            const int option = (d[i + 2] >> 4) & 0x07;
            const int level = (d[i + 2] >> 2) & 0x03;
            s.protection = (option << 2) | level;
            s.protectionLevel = level + 1;
            s.size = ((d[i + 2] & 0x03) << 8) | d[i + 3];
            i += 4;
            if (option == 0) {
                s.bitrate = s.size / kEepAUnits[static_cast<std::size_t>(level)] * 8;
            } else if (option == 1) {
                s.bitrate = s.size / kEepBUnits[static_cast<std::size_t>(level)] * 32;
            } else {
                continue;  // reserved option: its size is not known to mean anything
            }
        }
        const auto [it, added] = ensemble_.subChannels.try_emplace(s.id, s);
        const FicSubChannel& old = it->second;
        if (!added &&
            (old.startAddress != s.startAddress || old.size != s.size || old.bitrate != s.bitrate ||
             old.shortForm != s.shortForm || old.protection != s.protection)) {
            it->second = s;
            changed_ = true;
        }
        changed_ = changed_ || added;
    }
}

void FicDecoder::Services(const std::uint8_t* d, std::size_t n, bool longIds) {
    const std::size_t idLength = longIds ? 4 : 2;
    for (std::size_t i = 0; i + idLength + 1 <= n;) {
        const std::uint32_t sid = ReadId(d + i, longIds);
        const std::size_t count = d[i + idLength] & 0x0F;
        i += idLength + 1;
        if (i + 2 * count > n) {
            return;
        }
        std::vector<FicComponent> components;
        for (std::size_t c = 0; c < count; ++c, i += 2) {
            FicComponent component;
            component.tmid = d[i] >> 6;
            component.primary = d[i + 1] & 0x02;
            if (component.tmid == 3) {
                component.packetId = ((d[i] & 0x3F) << 6) | (d[i + 1] >> 2);
            } else if (component.tmid != 2) {  // FIDC carries no sub-channel: not listed
                component.type = d[i] & 0x3F;
                component.subChannelId = d[i + 1] >> 2;
            } else {
                continue;
            }
            components.push_back(component);
        }
        std::stable_partition(components.begin(), components.end(),
                              [](const FicComponent& c) { return c.primary; });

        auto service =
            std::find_if(ensemble_.services.begin(), ensemble_.services.end(),
                         [&](const FicService& s) { return s.sid == sid && s.longId == longIds; });
        if (service == ensemble_.services.end()) {
            FicService added;
            added.sid = sid;
            added.longId = longIds;
            ensemble_.services.push_back(added);
            service = ensemble_.services.end() - 1;
            changed_ = true;
        }
        if (!std::equal(components.begin(), components.end(), service->components.begin(),
                        service->components.end(), SameDefinition)) {
            service->components = std::move(components);
            changed_ = true;
        }
    }
}

void FicDecoder::PacketComponents(const std::uint8_t* d, std::size_t n) {
    for (std::size_t i = 0; i + 5 <= n;) {
        const int scid = (d[i] << 4) | (d[i + 1] >> 4);
        const bool caOrganisation = d[i + 1] & 0x01;
        PacketComponent p;
        p.type = d[i + 2] & 0x3F;
        p.subChannelId = d[i + 3] >> 2;
        p.address = ((d[i + 3] & 0x03) << 8) | d[i + 4];
        i += caOrganisation ? 7 : 5;
        if (i > n) {
            return;
        }
        const auto [it, added] = packetComponents_.try_emplace(scid, p);
        if (!added && (it->second.type != p.type || it->second.subChannelId != p.subChannelId ||
                       it->second.address != p.address)) {
            it->second = p;
            changed_ = true;
        }
        changed_ = changed_ || added;
    }
}

void FicDecoder::GlobalDefinitions(const std::uint8_t* d, std::size_t n, bool longIds) {
    const std::size_t idLength = longIds ? 4 : 2;
    for (std::size_t i = 0; i + idLength + 2 <= n;) {
        const std::uint32_t sid = ReadId(d + i, longIds);
        const bool extended = d[i + idLength] & 0x80;
        const int scids = d[i + idLength] & 0x0F;
        const std::uint8_t* form = d + i + idLength + 1;
        GlobalDefinition g;
        g.longForm = form[0] & 0x80;
        i += idLength + 1 + (g.longForm ? 2 : 1) + (extended ? 1 : 0);
        if (i > n) {
            return;
        }
        g.id = g.longForm ? ((form[0] & 0x0F) << 8) | form[1] : form[0] & 0x3F;
        const auto [it, added] =
            globalDefinitions_.try_emplace(ComponentKey{longIds, sid, scids}, g);
        if (!added && (it->second.longForm != g.longForm || it->second.id != g.id)) {
            it->second = g;
            changed_ = true;
        }
        changed_ = changed_ || added;
    }
}

void FicDecoder::ProgrammeTypes(const std::uint8_t* d, std::size_t n) {
    for (std::size_t i = 0; i + 4 <= n;) {
        const std::uint32_t sid = ReadId(d + i, false);
        const std::size_t language = (d[i + 2] & 0x20) ? 1 : 0;       // L flag
        const std::size_t complementary = (d[i + 2] & 0x10) ? 1 : 0;  // CC flag
        const int type = d[i + 3 + language] & 0x1F;
        i += 4 + language + complementary;
        if (i > n) {
            return;
        }
        Store(programmeTypes_, sid, type, changed_);
    }
}

void FicDecoder::FigType1(const std::uint8_t* fig, std::size_t length) {
    if (length < 1 || (fig[0] & 0x08)) {  // OE: another ensemble's label
        return;
    }
    const int charset = fig[0] >> 4;
    const int extension = fig[0] & 0x07;
    if (extension == 4) {
        if (length < 2) {
            return;
        }
        const bool longId = fig[1] & 0x80;
        const int scids = fig[1] & 0x0F;
        const std::size_t idLength = longId ? 4 : 2;
        if (length < 2 + idLength + kLabelLength) {
            return;
        }
        Store(componentLabels_, ComponentKey{longId, ReadId(fig + 2, longId), scids},
              Label(fig + 2 + idLength, charset), changed_);
        return;
    }
    const bool longId = extension == 5;
    const std::size_t idLength = longId ? 4 : 2;
    if ((extension != 0 && extension != 1 && extension != 5) ||
        length < 1 + idLength + kLabelLength) {
        return;
    }
    std::string label = Label(fig + 1 + idLength, charset);
    if (extension == 0) {
        changed_ = changed_ || !ensembleLabelKnown_ || ensemble_.label != label;
        ensemble_.label = std::move(label);
        ensembleLabelKnown_ = true;
    } else {
        Store(serviceLabels_, ServiceKey{longId, ReadId(fig + 1, longId)}, label, changed_);
    }
}

void FicDecoder::Resolve() {
    for (FicService& service : ensemble_.services) {
        const ServiceKey key{service.longId, service.sid};
        const auto label = serviceLabels_.find(key);
        service.label = label == serviceLabels_.end() ? std::string() : label->second;
        const auto type = programmeTypes_.find(service.sid);
        service.programmeType = service.longId || type == programmeTypes_.end() ? 0 : type->second;

        const auto first = globalDefinitions_.lower_bound(ComponentKey{key.first, key.second, 0});
        const auto last = globalDefinitions_.upper_bound(ComponentKey{key.first, key.second, 15});
        for (FicComponent& c : service.components) {
            const bool packet = c.tmid == 3;
            if (packet) {
                const auto p = packetComponents_.find(c.packetId);
                const bool known = p != packetComponents_.end();
                c.subChannelId = known ? p->second.subChannelId : -1;
                c.type = known ? p->second.type : 0;
                c.packetAddress = known ? p->second.address : -1;
            }
            c.scids = -1;
            c.label.clear();
            for (auto g = first; g != last; ++g) {
                if (g->second.longForm == packet &&
                    g->second.id == (packet ? c.packetId : c.subChannelId)) {
                    c.scids = std::get<2>(g->first);
                    const auto l = componentLabels_.find(g->first);
                    if (l != componentLabels_.end()) {
                        c.label = l->second;
                    }
                    break;
                }
            }
        }
    }
}

bool FicDecoder::Complete() const {
    if (!ensemble_.eidKnown || !ensembleLabelKnown_ || ensemble_.services.empty()) {
        return false;
    }
    for (const FicService& service : ensemble_.services) {
        if (!serviceLabels_.contains(ServiceKey{service.longId, service.sid})) {
            return false;
        }
        for (const FicComponent& c : service.components) {
            if (!ensemble_.subChannels.contains(c.subChannelId)) {
                return false;  // packet components have -1 until their FIG 0/3
            }
        }
    }
    return true;
}

void FicDecoder::Reset() {
    *this = FicDecoder();
}

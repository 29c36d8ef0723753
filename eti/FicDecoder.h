#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

// What the Fast Information Channel tells about an ensemble (ETSI EN 300 401 clause 6 and 8).
// Labels are UTF-8, converted from their DAB character set, without the padding blanks.
struct FicSubChannel {
    int id = 0;               // SubChId, 0-63
    int startAddress = 0;     // capacity units
    int size = 0;             // capacity units
    int bitrate = 0;          // kbit/s, from the short form table or the long form's option
    bool shortForm = true;    // UEP (short form) or EEP (long form)
    int protection = 0;       // table index (short form) or option and level (long form) as coded
    int protectionLevel = 0;  // 1-5 (short form, from the table) or 1-4 (long form, A or B)
};

struct FicComponent {
    int tmid = 0;            // 0 stream audio, 1 stream data, 3 packet data
    int type = 0;            // ASCTy (0 = MPEG Layer II, 63 = DAB+) or DSCTy
    int subChannelId = -1;   // stream modes, or the packet component's sub-channel from FIG 0/3
    int packetId = -1;       // SCId of a packet mode component (12 bits); -1 for stream modes
    int packetAddress = -1;  // packet mode: the packet address from FIG 0/3, -1 while unknown
    int scids = -1;          // SCIdS within the service, from FIG 0/8; -1 while unknown
    bool primary = false;    // P/S flag of FIG 0/2
    std::string label;       // FIG 1/4, empty while unknown
};

struct FicService {
    std::uint32_t sid = 0;
    bool longId = false;                   // 32-bit SId (data service)
    std::string label;                     // FIG 1/1 or 1/5, empty while unknown
    int programmeType = 0;                 // FIG 0/17, 0 while unknown
    std::vector<FicComponent> components;  // in FIG 0/2 order; the primary is moved first
};

struct FicEnsemble {
    std::uint16_t eid = 0;
    bool eidKnown = false;
    std::string label;                 // FIG 1/0
    std::vector<FicService> services;  // in order of first appearance in FIG 0/2
    std::map<int, FicSubChannel> subChannels;
};

// Decodes the FIC of successive ETI frames into a FicEnsemble. FIBs whose CRC fails are
// skipped and counted; FIGs it does not know are skipped. One thread at a time.
class FicDecoder {
public:
    // One FIC: a whole number of 32-byte FIBs (3 in modes I, II, IV, 4 in mode III).
    void Feed(const std::uint8_t* fic, std::size_t length);

    const FicEnsemble& Ensemble() const { return ensemble_; }

    // True once the ensemble's identity and label are known, at least one service is, and for
    // every service its label and each of its stream components' sub-channel organisation.
    // Data components in packet mode need their FIG 0/3 and its sub-channel too. Receivers
    // show a service list only when this holds.
    bool Complete() const;

    // FIBs fed, the bad ones included; FIBs skipped for their CRC.
    std::uint64_t Fibs() const { return fibs_; }
    std::uint64_t BadFibs() const { return badFibs_; }

    // Back to nothing known, counters included (after a retune).
    void Reset();

private:
    // A service is known by its SId and whether that is a 32-bit one.
    using ServiceKey = std::pair<bool, std::uint32_t>;
    using ComponentKey = std::tuple<bool, std::uint32_t, int>;  // service and SCIdS
    struct GlobalDefinition {                                   // FIG 0/8
        bool longForm = false;  // SCId (packet mode) rather than SubChId
        int id = 0;
    };
    struct PacketComponent {  // FIG 0/3
        int subChannelId = 0;
        int type = 0;
        int address = 0;
    };

    void Fib(const std::uint8_t* fib);
    void FigType0(const std::uint8_t* fig, std::size_t length);
    void FigType1(const std::uint8_t* fig, std::size_t length);
    void SubChannels(const std::uint8_t* d, std::size_t length);
    void Services(const std::uint8_t* d, std::size_t length, bool longIds);
    void PacketComponents(const std::uint8_t* d, std::size_t length);
    void GlobalDefinitions(const std::uint8_t* d, std::size_t length, bool longIds);
    void ProgrammeTypes(const std::uint8_t* d, std::size_t length);
    void Resolve();

    // What the FIGs said, kept apart so labels and definitions may come before or after the
    // FIG 0/2 of their service; Resolve() brings them into ensemble_.
    FicEnsemble ensemble_;
    bool ensembleLabelKnown_ = false;
    std::map<ServiceKey, std::string> serviceLabels_;
    std::map<std::uint32_t, int> programmeTypes_;
    std::map<ComponentKey, GlobalDefinition> globalDefinitions_;
    std::map<ComponentKey, std::string> componentLabels_;
    std::map<int, PacketComponent> packetComponents_;  // by SCId
    bool changed_ = false;
    std::uint64_t fibs_ = 0;
    std::uint64_t badFibs_ = 0;
};

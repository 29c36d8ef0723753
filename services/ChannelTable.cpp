#include "services/ChannelTable.h"

#include <cstring>
#include <iterator>

namespace {

constexpr TBuiltInChannel kBandIII[] = {
    {"5A", 174.928},  {"5B", 176.640},  {"5C", 178.352},  {"5D", 180.064},  {"6A", 181.936},
    {"6B", 183.648},  {"6C", 185.360},  {"6D", 187.072},  {"7A", 188.928},  {"7B", 190.640},
    {"7C", 192.352},  {"7D", 194.064},  {"8A", 195.936},  {"8B", 197.648},  {"8C", 199.360},
    {"8D", 201.072},  {"9A", 202.928},  {"9B", 204.640},  {"9C", 206.352},  {"9D", 208.064},
    {"10A", 209.936}, {"10B", 211.648}, {"10C", 213.360}, {"10D", 215.072}, {"11A", 216.928},
    {"11B", 218.640}, {"11C", 220.352}, {"11D", 222.064}, {"12A", 223.936}, {"12B", 225.648},
    {"12C", 227.360}, {"12D", 229.072}, {"13A", 230.784}, {"13B", 232.496}, {"13C", 234.208},
    {"13D", 235.776}, {"13E", 237.488}, {"13F", 239.200},
};

constexpr TBuiltInChannel kLBand[] = {
    {"LA", 1452.960}, {"LB", 1454.672}, {"LC", 1456.384}, {"LD", 1458.096}, {"LE", 1459.808},
    {"LF", 1461.520}, {"LG", 1463.232}, {"LH", 1464.944}, {"LI", 1466.656}, {"LJ", 1468.368},
    {"LK", 1470.080}, {"LL", 1471.792}, {"LM", 1473.504}, {"LN", 1475.216}, {"LO", 1476.928},
    {"LP", 1478.640}, {"LQ", 1480.352}, {"LR", 1482.064}, {"LS", 1483.776}, {"LT", 1485.488},
    {"LU", 1487.200}, {"LV", 1488.912}, {"LW", 1490.624},
};

constexpr TBuiltInChannel kCanada[] = {
    {"Canada 1", 1452.816},  {"Canada 2", 1454.560},  {"Canada 3", 1456.304},
    {"Canada 4", 1458.048},  {"Canada 5", 1459.792},  {"Canada 6", 1461.536},
    {"Canada 7", 1463.280},  {"Canada 8", 1465.024},  {"Canada 9", 1466.768},
    {"Canada 10", 1468.512}, {"Canada 11", 1470.256}, {"Canada 12", 1472.000},
    {"Canada 13", 1473.744}, {"Canada 14", 1475.488}, {"Canada 15", 1477.232},
    {"Canada 16", 1478.976}, {"Canada 17", 1480.720}, {"Canada 18", 1482.464},
    {"Canada 19", 1484.208}, {"Canada 20", 1485.952}, {"Canada 21", 1487.696},
    {"Canada 22", 1489.440}, {"Canada 23", 1491.184},
};

// The UK set is the part of Band III from 11B to 12D.
constexpr int kFirstUK = 25;  // "11B"
constexpr int kAfterUK = 32;  // "13A"

static_assert(std::size(kBandIII) == 38 && std::size(kLBand) == 23 && std::size(kCanada) == 23);

}  // namespace

std::span<const TBuiltInChannel> BandIIIChannels() {
    return kBandIII;
}
std::span<const TBuiltInChannel> LBandChannels() {
    return kLBand;
}
std::span<const TBuiltInChannel> CanadaChannels() {
    return kCanada;
}

double BandIIIFrequency(const char* name) {
    for (const TBuiltInChannel& channel : kBandIII) {
        if (std::strcmp(channel.Name, name) == 0) {
            return channel.Frequency;
        }
    }
    return 0.0;
}

QList<TBuiltInChannel> ChannelSetChannels(int set) {
    QList<TBuiltInChannel> result;
    const std::span<const TBuiltInChannel> band3 = kBandIII;
    if (set == ChannelSetBandIIIAndLBand) {
        for (const auto& c : band3.first(kFirstUK)) {
            result.append(c);
        }
    }
    if (set == ChannelSetUK || set == ChannelSetBandIIIAndLBand) {
        for (const auto& c : band3.subspan(kFirstUK, kAfterUK - kFirstUK)) {
            result.append(c);
        }
    }
    if (set == ChannelSetBandIIIAndLBand) {
        for (const auto& c : band3.subspan(kAfterUK)) {
            result.append(c);
        }
        for (const auto& c : kLBand) {
            result.append(c);
        }
    }
    if (set == ChannelSetCanada) {
        for (const auto& c : kCanada) {
            result.append(c);
        }
    }
    return result;
}

QString ChannelSetCaption(int set) {
    switch (set) {
        case ChannelSetUK:
            return QStringLiteral("UK Frequencies");
        case ChannelSetBandIIIAndLBand:
            return QStringLiteral("Band III && L-Band");
        case ChannelSetCanada:
            return QStringLiteral("Canada");
    }
    return {};
}

#pragma once

#include <QList>
#include <QString>
#include <span>

// One built-in DAB channel: its name and centre frequency in MHz.
struct TBuiltInChannel {
    const char* Name;
    double Frequency;
};

// The built-in channel sets the ensemble table is seeded and rebuilt from.
enum TChannelSet : int {
    ChannelSetUK = 0,               // Band III 11B to 12D
    ChannelSetBandIIIAndLBand = 1,  // all of Band III, then all of L-Band
    ChannelSetCanada = 2,           // the Canadian L-Band raster
};

// Band III "5A" to "13F" (38), L-Band "LA" to "LW" (23), Canada "Canada 1" to "Canada 23" (23),
// each in ascending frequency.
std::span<const TBuiltInChannel> BandIIIChannels();
std::span<const TBuiltInChannel> LBandChannels();
std::span<const TBuiltInChannel> CanadaChannels();

// The centre frequency (MHz) of the Band III channel `name` ("11B"); 0.0 for any other name.
double BandIIIFrequency(const char* name);

// The channels of `set` in the order they are appended to the ensemble table; empty for any
// other set number.
QList<TBuiltInChannel> ChannelSetChannels(int set);

// The caption of a set in the options window's rebuild menu ("&&" shows one ampersand).
QString ChannelSetCaption(int set);

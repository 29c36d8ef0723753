#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "codecs/BladeEncoder.h"

// The configuration records the program hands to beInitStream of the two encoder libraries.

// MP3 record: rates in Hz (output 0 = same as input), bitrate in kbit/s; channel mode 0 (stereo)
// for 2 channels, else 3 (mono).
BeMp3Config MakeMp3Config(int sampleRate, int outputSampleRate, int bitrate, int channels);

// The Ogg Vorbis date text: the recording time (days since 30 December 1899, local time) plus
// 10 seconds as "h:nn dddd d mmmm yyyy" with English names, e.g. "20:00 Friday 1 March 2002";
// empty for a recording time of 0 or one that is no date.
QString OggDateText(double recordingTime);

// Ogg Vorbis record followed by its texts (UTF-8, zero-terminated) in one block; the record's
// text fields hold each text's distance from the block's start. Title empty = none.
std::vector<std::uint8_t> MakeOggConfig(int channels, int sampleRate, int bitrate,
                                        const QString& title, double recordingTime);

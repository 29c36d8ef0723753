#pragma once

#include <QString>

// Which recording formats the codec libraries allow: WAV needs the MPEG decoder library, MP3
// and Ogg Vorbis need their encoder library as well as the decoder.
struct CodecAvailability {
    bool Wav = false;
    bool Mp3 = false;
    bool Ogg = false;
};

// Runs the three probes with `folder` searched first for the libraries (empty: the running
// program's own folder), keeps that folder for every later load, and stores the results that
// WavAvailable, Mp3Available and OggAvailable return. Start-up calls it once before anything
// else; tests call it again with a folder of their own. Not to be run while codecs are in use.
CodecAvailability ProbeCodecs(const QString& folder = QString());

// The stored results; all false until ProbeCodecs ran. Any thread.
bool WavAvailable();
bool Mp3Available();
bool OggAvailable();

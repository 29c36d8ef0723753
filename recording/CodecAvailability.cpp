#include "recording/CodecAvailability.h"

#include <atomic>

#include "recording/CodecError.h"
#include "recording/CodecLibrary.h"
#include "recording/TBladeInterface.h"
#include "recording/TMPEGDecoder.h"

namespace {

std::atomic<bool> wav{false};
std::atomic<bool> mp3{false};
std::atomic<bool> ogg{false};

bool EncoderUsable(const char* fileName) {
    try {
        TBladeInterface probe{QString::fromLatin1(fileName)};
        return true;
    } catch (const CodecError&) {
        return false;
    }
}

}  // namespace

CodecAvailability ProbeCodecs(const QString& folder) {
    CodecLibrary::SetFolder(folder);
    CodecAvailability found;
    found.Wav = TMPEGDecoder::LibraryAvailable();
    found.Mp3 = EncoderUsable(CodecLibrary::kMp3EncoderFile) && found.Wav;
    found.Ogg = EncoderUsable(CodecLibrary::kOggEncoderFile) && found.Wav;
    wav = found.Wav;
    mp3 = found.Mp3;
    ogg = found.Ogg;
    return found;
}

bool WavAvailable() {
    return wav;
}

bool Mp3Available() {
    return mp3;
}

bool OggAvailable() {
    return ogg;
}

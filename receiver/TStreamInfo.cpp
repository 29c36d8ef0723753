#include "receiver/TStreamInfo.h"

#include "receiver/MpegAudioHeader.h"

namespace {
constexpr int kMaxLabel = 255;
}

TStreamInfo::TStreamInfo(std::int32_t streamHandle)
    : PAD(std::make_unique<TPADObject>()), StreamHandle(streamHandle) {}

void TStreamInfo::ProcessFrame(const std::uint8_t* frame, std::int32_t length) {
    if (const auto header = MpegAudioHeader::Parse(frame, length)) {
        Bitrate = header->Bitrate();
        Stereo = header->Stereo() ? 1 : 0;
        scfCrcLength_ = header->ScfCrcLength();
    }
    PAD->ProcessFrame(frame, length, scfCrcLength_);
}

StreamInfoRecord TStreamInfo::Record() const {
    StreamInfoRecord r;
    r.Bitrate = Bitrate;
    r.Stereo = Stereo;
    r.MusicSpeech = PAD->MusicSpeech();
    r.DynamicLabel = PAD->DisplayedText().left(kMaxLabel);
    return r;
}

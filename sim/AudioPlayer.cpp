#include "sim/AudioPlayer.h"

#include "receiver/MpegSoundOutput.h"
#include "sim/FrameLoop.h"

bool AudioPlayer::Play(const FrameLoop& loop, std::size_t firstFrame, std::stop_token stop) {
    MpegSoundOutput output;
    for (std::size_t i = firstFrame; !stop.stop_requested(); ++i) {
        if (!output.Play(loop.Frame(i), static_cast<std::size_t>(loop.FrameLength()), stop)) {
            return false;
        }
    }
    return true;
}

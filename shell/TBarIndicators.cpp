#include "shell/TBarIndicators.h"

bool TBarIndicators::Tick(bool recordings, bool streams) {
    phase_ = recordings || streams ? (phase_ + 1) % kPhases : 0;
    const int half = kPhases / 2;
    bool record = false;
    bool network = false;
    if (phase_ > 0 && phase_ < half) {
        record = recordings;
        network = streams && !recordings;
    } else if (phase_ > half) {
        record = recordings && !streams;
        network = streams;
    }
    const bool changed = record != record_ || network != network_;
    record_ = record;
    network_ = network;
    return changed;
}

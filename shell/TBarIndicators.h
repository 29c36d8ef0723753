#pragma once

// The blinking record and stream signs. While anything records or streams, a cycle of kPhases
// ticks runs: in its first half the record sign takes precedence, in its second half the stream
// sign; the first tick of each half shows neither. So a recording alone shows three ticks of
// four, a stream alone likewise, and both together alternate. A plain value.
class TBarIndicators {
public:
    static constexpr int kPhases = 8;

    // One tick of the bar's timer. Returns whether a sign appeared or went.
    bool Tick(bool recordings, bool streams);

    int Phase() const { return phase_; }
    bool Record() const { return record_; }
    bool Network() const { return network_; }

private:
    int phase_ = 0;
    bool record_ = false;
    bool network_ = false;
};

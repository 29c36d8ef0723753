#pragma once

class TRecorder;

// Whoever feeds recorders with audio (the tuning controller): owners of recorders hand them over
// and take them back through this, without depending on the receiver side. Main thread.
class TRecorderHost {
public:
    // Feeds `recorder` as soon as its service can be heard; the caller keeps ownership and must
    // take it back with RemoveRecorder before destroying it.
    virtual void AddRecorder(TRecorder* recorder) = 0;
    // Stops feeding `recorder` and lets go of it, also when stopping fails and raises the
    // failure; never destroys it. Harmless for a recorder it does not hold.
    virtual void RemoveRecorder(TRecorder* recorder) = 0;

protected:
    // Not deleted through this interface.
    ~TRecorderHost() = default;
};

#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

// The audio of one service for all its stream listeners: every frame is stored once, in a
// reference-counted block that the listeners' writes share, and each listener reads from its
// own position. Frames are numbered from 0 in the order they came.
//
// Append runs on the receiver's data thread, Collect on the stream writer's thread, the title
// on the main thread (written) and the writer's (read); all under the feed's own lock.
class TStreamFeed {
public:
    // A reader's backlog never reaches this many frames: at this count it is cut to kKeep, the
    // newest kept (a listener that stops reading hears a jump; the others are unaffected).
    static constexpr std::uint64_t kLimit = 256;
    static constexpr std::uint64_t kKeep = 64;

    TStreamFeed(std::int32_t serviceId, QString serviceName);

    TStreamFeed(const TStreamFeed&) = delete;
    TStreamFeed& operator=(const TStreamFeed&) = delete;

    std::int32_t ServiceID() const { return serviceId_; }
    const QString& ServiceName() const { return serviceName_; }

    // The number the next frame will get: where a new reader starts, and a new recorder's claim.
    std::uint64_t NextNumber();
    // One frame from one of the service's recorders. Every recorder of the service is handed the
    // same frame in turn; `claimed` (the recorder's own, guarded here) holds the number of the
    // last frame it was matched to, so the frame is stored only by the first of them.
    void Append(std::uint64_t& claimed, const std::uint8_t* buffer, std::int32_t count);
    // The frames from number `next` on, at most `limit` of them, added to `frames`. Applies the
    // drop rule to the reader's backlog first; answers the number of the first frame given.
    std::uint64_t Collect(std::uint64_t next, std::vector<QByteArray>& frames, std::size_t limit);

    // The stream's current dynamic label; empty when it has none.
    QString Title() const;
    void SetTitle(const QString& title);
    // Some listener of this feed wants titles (then the writer keeps the label fresh).
    bool WantsTitles() const { return wantsTitles_.load(); }
    void SetWantsTitles() { wantsTitles_ = true; }

private:
    const std::int32_t serviceId_;
    const QString serviceName_;
    std::atomic<bool> wantsTitles_{false};

    mutable std::mutex lock_;
    // The newest frames, at most kLimit; the first is number appended_ - frames_.size().
    std::deque<QByteArray> frames_;
    std::uint64_t appended_ = 0;
    QString title_;
};

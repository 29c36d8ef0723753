#pragma once

#include <QByteArray>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "http/TSocket.h"

class TRecorderHTTP;
class TStreamFeed;

// One client of a live stream after its head was sent: reads the service's shared feed from its
// own position and writes what is there in one gathered, non-blocking write, with an ICY
// metadata block after every `metaInterval` audio bytes when it asked for titles. Owns its
// connection and its recorder (until the recorder is taken back). Stream writer's thread only.
class TStreamListener {
public:
    using Clock = std::chrono::steady_clock;

    // A write that makes no progress for this long ends the listener.
    static constexpr auto kSendTimeout = std::chrono::milliseconds(8000);
    // So does a stream that had no audio to send for this long.
    static constexpr auto kNoAudioTimeout = std::chrono::seconds(30);
    // Frames taken from the feed for one write.
    static constexpr std::size_t kBatchFrames = 32;

    enum class Result { Idle, Sent, Blocked, Failed };

    // `metaInterval` 0: no metadata.
    TStreamListener(TSocket socket, std::shared_ptr<TStreamFeed> feed,
                    std::unique_ptr<TRecorderHTTP> recorder, int metaInterval,
                    Clock::time_point now);
    ~TStreamListener();

    TStreamListener(const TStreamListener&) = delete;
    TStreamListener& operator=(const TStreamListener&) = delete;

    int Descriptor() const { return socket_.Descriptor(); }
    // Writes everything the feed holds for it until the socket takes no more. `scratch` is the
    // caller's buffer, reused between listeners.
    Result Flush(Clock::time_point now, std::vector<QByteArray>& scratch);
    // The socket took part of a write and no more since.
    bool Blocked() const { return blocked_; }
    // The send or the no-audio time-out has passed.
    bool TimedOut(Clock::time_point now) const;
    // Closes the connection (what the client sent meanwhile is dropped first, so that closing
    // does not reset the connection under audio it has yet to read).
    void Close();
    // Its recorder, marked closed, for the controller to take back.
    std::unique_ptr<TRecorderHTTP> TakeRecorder();

private:
    // A stretch of bytes of a shared frame or a metadata block still to be written.
    struct Piece {
        QByteArray bytes;
        qsizetype begin;
        qsizetype end;
    };
    // Takes the next frames from the feed as pieces, metadata blocks placed; false when none.
    bool Gather(std::vector<QByteArray>& scratch);
    // Drops `written` bytes from the front of the pieces.
    void Consume(std::size_t written);

    TSocket socket_;
    std::shared_ptr<TStreamFeed> feed_;
    std::unique_ptr<TRecorderHTTP> recorder_;
    const int metaInterval_;
    int bytesToMeta_;
    std::uint64_t next_;
    std::vector<Piece> pieces_;
    std::size_t head_ = 0;
    bool blocked_ = false;
    Clock::time_point blockedSince_;
    Clock::time_point lastAudio_;
};

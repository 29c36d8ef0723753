#pragma once

#include <QByteArray>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "http/TSocket.h"

class TRecorderHTTP;
class TStreamFeed;

// One client of a live stream, from its accepted request on: it waits until its start time,
// then its recorder is added if the receiver may serve it (the claim, decided on the main thread
// by the writer), and it gets its head and the stream, or the refusal and the end. Streaming, it
// reads the service's shared feed from its own position and writes what is there in one
// gathered, non-blocking write, with an ICY metadata block after every `metaInterval` audio
// bytes when it asked for titles. Owns its connection and its recorder (until the recorder is
// taken back). Stream writer's thread only, but for the claim cell.
class TStreamListener {
public:
    using Clock = std::chrono::steady_clock;

    // A write that makes no progress for this long ends the listener.
    static constexpr auto kSendTimeout = std::chrono::milliseconds(8000);
    // So does a stream that had no audio to send for this long.
    static constexpr auto kNoAudioTimeout = std::chrono::seconds(30);
    // Frames taken from the feed for one write.
    static constexpr std::size_t kBatchFrames = 48;

    // The claim's answer, written on the main thread.
    static constexpr int kClaimPending = 0;
    static constexpr int kClaimGranted = 1;
    static constexpr int kClaimRefused = 2;
    // Refused because the receiver cannot pass this service's audio on (DAB+).
    static constexpr int kClaimNotDecodable = 3;
    using ClaimCell = std::shared_ptr<std::atomic<int>>;

    // Idle: nothing to write now; Done: the refusal was written, the connection may close.
    enum class Result { Idle, Sent, Blocked, Failed, Done };

    // `metaInterval` 0: no metadata. `head` goes out when the claim is granted, what `refused`
    // makes when it is not (told whether the receiver cannot decode the service's audio).
    TStreamListener(TSocket socket, std::shared_ptr<TStreamFeed> feed,
                    std::unique_ptr<TRecorderHTTP> recorder, int metaInterval, QByteArray head,
                    std::function<QByteArray(bool notDecodable)> refused,
                    Clock::time_point startAt);
    ~TStreamListener();

    TStreamListener(const TStreamListener&) = delete;
    TStreamListener& operator=(const TStreamListener&) = delete;

    int Descriptor() const { return socket_.Descriptor(); }
    const std::shared_ptr<TStreamFeed>& Feed() const { return feed_; }
    TRecorderHTTP* Recorder() const { return recorder_.get(); }

    // Its start time has come and it has not asked for the receiver yet.
    bool DueForClaim(Clock::time_point now) const;
    // Marks the claim asked for; the cell is for the main thread's answer.
    ClaimCell BeginClaim();
    // Takes the claim's answer when it has come: true when it did (there is something to write).
    bool TakeClaim(Clock::time_point now);
    bool Claiming() const { return phase_ == Phase::Claiming; }

    // Writes everything it has until the socket takes no more. `scratch` is the caller's
    // buffer, reused between listeners.
    Result Flush(Clock::time_point now, std::vector<QByteArray>& scratch);
    // The socket took part of a write and no more since.
    bool Blocked() const { return blocked_; }
    // The send or the no-audio time-out has passed.
    bool TimedOut(Clock::time_point now) const;
    // Closes the connection (what the client sent meanwhile is dropped first, so that closing
    // does not reset the connection under bytes it has yet to read).
    void Close();
    // Its recorder, marked closed, for the controller to take back.
    std::unique_ptr<TRecorderHTTP> TakeRecorder();

private:
    enum class Phase { Waiting, Claiming, Streaming, Refused };
    // A stretch of bytes of a shared frame, a head or a metadata block still to be written.
    struct Piece {
        QByteArray bytes;
        qsizetype begin;
        qsizetype end;
    };
    // Takes the next frames from the feed as pieces, metadata blocks placed; false when none.
    bool Gather(std::vector<QByteArray>& scratch);
    void Push(QByteArray bytes);
    // Drops `written` bytes from the front of the pieces.
    void Consume(std::size_t written);

    TSocket socket_;
    std::shared_ptr<TStreamFeed> feed_;
    std::unique_ptr<TRecorderHTTP> recorder_;
    const int metaInterval_;
    int bytesToMeta_;
    QByteArray head_;
    std::function<QByteArray(bool notDecodable)> refused_;
    Clock::time_point startAt_;
    Phase phase_ = Phase::Waiting;
    ClaimCell claim_;
    std::uint64_t next_ = 0;
    std::vector<Piece> pieces_;
    std::size_t first_ = 0;  // the first piece not written completely
    bool blocked_ = false;
    Clock::time_point blockedSince_;
    Clock::time_point lastAudio_;
};

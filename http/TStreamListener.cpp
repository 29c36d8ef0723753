#include "http/TStreamListener.h"

#include <sys/socket.h>
#include <sys/uio.h>

#include <algorithm>
#include <cerrno>

#include "http/HTTPText.h"
#include "http/TRecorderHTTP.h"
#include "http/TStreamFeed.h"

namespace {

constexpr int kMaxPieces = 64;

}  // namespace

TStreamListener::TStreamListener(TSocket socket, std::shared_ptr<TStreamFeed> feed,
                                 std::unique_ptr<TRecorderHTTP> recorder, int metaInterval,
                                 QByteArray head,
                                 std::function<QByteArray(bool notDecodable)> refused,
                                 Clock::time_point startAt)
    : socket_(std::move(socket)),
      feed_(std::move(feed)),
      recorder_(std::move(recorder)),
      metaInterval_(metaInterval),
      bytesToMeta_(metaInterval),
      head_(std::move(head)),
      refused_(std::move(refused)),
      startAt_(startAt) {}

TStreamListener::~TStreamListener() = default;

bool TStreamListener::DueForClaim(Clock::time_point now) const {
    return phase_ == Phase::Waiting && now >= startAt_;
}

TStreamListener::ClaimCell TStreamListener::BeginClaim() {
    phase_ = Phase::Claiming;
    claim_ = std::make_shared<std::atomic<int>>(kClaimPending);
    return claim_;
}

bool TStreamListener::TakeClaim(Clock::time_point now) {
    if (phase_ != Phase::Claiming || claim_->load() == kClaimPending) {
        return false;
    }
    const int answer = claim_->load();
    if (answer == kClaimGranted) {
        phase_ = Phase::Streaming;
        next_ = recorder_->FirstFrame();
        lastAudio_ = now;
        Push(std::move(head_));
    } else {
        phase_ = Phase::Refused;
        Push(refused_(answer == kClaimNotDecodable));
    }
    head_ = QByteArray();
    refused_ = nullptr;
    claim_.reset();
    return true;
}

TStreamListener::Result TStreamListener::Flush(Clock::time_point now,
                                               std::vector<QByteArray>& scratch) {
    if (phase_ == Phase::Waiting || phase_ == Phase::Claiming) {
        return Result::Idle;
    }
    Result result = Result::Idle;
    for (;;) {
        if (first_ == pieces_.size()) {
            pieces_.clear();
            first_ = 0;
            if (phase_ == Phase::Refused) {
                return Result::Done;
            }
            if (!Gather(scratch)) {
                return result;
            }
            lastAudio_ = now;
        }
        iovec vectors[kMaxPieces];
        const std::size_t start = first_;
        int count = 0;
        for (std::size_t i = first_; i < pieces_.size() && count < kMaxPieces; ++i, ++count) {
            const Piece& piece = pieces_[i];
            vectors[count].iov_base = const_cast<char*>(piece.bytes.constData() + piece.begin);
            vectors[count].iov_len = static_cast<std::size_t>(piece.end - piece.begin);
        }
        msghdr message{};
        message.msg_iov = vectors;
        message.msg_iovlen = static_cast<std::size_t>(count);
        const ssize_t written =
            ::sendmsg(socket_.Descriptor(), &message, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                return Result::Failed;
            }
            if (!blocked_) {
                blocked_ = true;
                blockedSince_ = now;
            }
            return Result::Blocked;
        }
        Consume(static_cast<std::size_t>(written));
        blocked_ = false;
        result = Result::Sent;
        if (first_ < start + static_cast<std::size_t>(count)) {
            // The socket's buffer is full.
            blocked_ = true;
            blockedSince_ = now;
            return Result::Blocked;
        }
    }
}

bool TStreamListener::TimedOut(Clock::time_point now) const {
    if (phase_ == Phase::Waiting || phase_ == Phase::Claiming) {
        return false;
    }
    if (blocked_) {
        return now - blockedSince_ >= kSendTimeout;
    }
    return now - lastAudio_ >= kNoAudioTimeout;
}

void TStreamListener::Close() {
    socket_.DiscardPending();
    socket_.Close();
}

std::unique_ptr<TRecorderHTTP> TStreamListener::TakeRecorder() {
    if (recorder_) {
        recorder_->Close();
    }
    return std::move(recorder_);
}

bool TStreamListener::Gather(std::vector<QByteArray>& scratch) {
    scratch.clear();
    next_ = feed_->Collect(next_, scratch, kBatchFrames);
    next_ += scratch.size();
    for (QByteArray& frame : scratch) {
        if (metaInterval_ <= 0) {
            Push(std::move(frame));
            continue;
        }
        for (qsizetype offset = 0; offset < frame.size();) {
            if (bytesToMeta_ < 1) {
                const QString title = feed_->Title();
                Push(HTTPText::MetadataBlock(title.isEmpty() ? feed_->ServiceName() : title));
                bytesToMeta_ = metaInterval_;
            }
            const qsizetype k = std::min<qsizetype>(frame.size() - offset, bytesToMeta_);
            pieces_.push_back({frame, offset, offset + k});
            offset += k;
            bytesToMeta_ -= static_cast<int>(k);
        }
    }
    return !scratch.empty();
}

void TStreamListener::Push(QByteArray bytes) {
    const qsizetype size = bytes.size();
    pieces_.push_back({std::move(bytes), 0, size});
}

void TStreamListener::Consume(std::size_t written) {
    while (written > 0 && first_ < pieces_.size()) {
        Piece& piece = pieces_[first_];
        const auto left = static_cast<std::size_t>(piece.end - piece.begin);
        if (written < left) {
            piece.begin += static_cast<qsizetype>(written);
            return;
        }
        written -= left;
        piece.bytes = QByteArray();  // lets go of the shared frame
        ++first_;
    }
}

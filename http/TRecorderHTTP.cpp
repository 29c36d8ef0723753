#include "http/TRecorderHTTP.h"

#include <utility>

#include "http/TStreamFeed.h"

TRecorderHTTP::TRecorderHTTP(std::int32_t serviceId, const TServiceTablesWrapper& tables,
                             std::shared_ptr<TStreamFeed> feed, bool wantsMetadata)
    : TRecorder(serviceId, tables),
      feed_(std::move(feed)),
      WantsMetadata(wantsMetadata),
      first_(feed_->NextNumber()),
      claimed_(first_) {}

void TRecorderHTTP::WriteBlock(const std::uint8_t* buffer, std::int32_t count) {
    if (count < 1 || closed_) {
        return;
    }
    feed_->Append(claimed_, buffer, count);
}

void TRecorderHTTP::Restart() {
    first_ = feed_->NextNumber();
    claimed_ = first_;
}

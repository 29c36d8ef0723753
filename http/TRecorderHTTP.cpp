#include "http/TRecorderHTTP.h"

#include "http/THTTPSessionThread.h"

TRecorderHTTP::TRecorderHTTP(std::int32_t serviceId, const TServiceTablesWrapper& tables,
                             THTTPSessionThread& session, bool wantsMetadata)
    : TRecorder(serviceId, tables), Session(session), WantsMetadata(wantsMetadata) {}

void TRecorderHTTP::WriteBlock(const std::uint8_t* buffer, std::int32_t count) {
    Session.Enqueue(buffer, count);
}

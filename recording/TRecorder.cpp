#include "recording/TRecorder.h"

#include <utility>

#include "services/TServiceTablesWrapper.h"

TRecorder::TRecorder(std::int32_t serviceId, const TServiceTablesWrapper& tables)
    : TRecorder(serviceId, tables.GetServiceSId(serviceId), tables.GetComponentLabel(serviceId)) {}

TRecorder::TRecorder(std::int32_t serviceId, std::uint32_t sid, QString componentLabel)
    : serviceId_(serviceId), sid_(sid), componentLabel_(std::move(componentLabel)) {}

TRecorder::~TRecorder() = default;

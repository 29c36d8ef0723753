#include "http/THTTPSessionContext.h"

#include <utility>

#include "http/TSocketAddress.h"
#include "receiver/TMainControl.h"

THTTPSessionContext::THTTPSessionContext(TSettingsWrapper& settings, TServiceTablesWrapper& tables,
                                         TMainControl& control, LocalCheck isLocal)
    : settings_(settings),
      tables_(tables),
      control_(control),
      isLocal_(std::move(isLocal)),
      writer_(control) {}

bool THTTPSessionContext::IsLocal(const TSocketAddress& local) const {
    return isLocal_ ? isLocal_(local) : local.IsLoopback();
}

bool THTTPSessionContext::CallController(const std::function<void()>& task, bool evenWhenStopping) {
    if (stopping_ && !evenWhenStopping) {
        return false;
    }
    bool ran = false;
    control_.RunOnMainThread([&] {
        // The server may have begun stopping while the call waited for the main thread.
        if (stopping_ && !evenWhenStopping) {
            return;
        }
        task();
        ran = true;
    });
    return ran;
}

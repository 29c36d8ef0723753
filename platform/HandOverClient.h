#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "platform/HandOverProtocol.h"

// The second instance's end of the hand-over (protocol in HandOverProtocol.h). Blocking; any
// thread.
class HandOverClient {
public:
    // Sends one request and waits, without a time-out, for the running instance to answer
    // (it may show message boxes first). nullopt when nothing listens (no bar window) or the
    // connection ends before an answer.
    static std::optional<int> Send(int wParam, std::int64_t lParam, const QString& text = {});
    static std::optional<int> Send(const QString& socketPath, int wParam, std::int64_t lParam,
                                   const QString& text);
};

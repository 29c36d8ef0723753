#pragma once

#include <QString>
#include <cstdint>

class TServiceTablesWrapper;

// The line a run without a display prints when a service starts playing: its name and key and
// where the HTTP server offers its stream and the page of services. Any thread.
class PlayingNotice {
public:
    // Empty for `serviceId` 0 (playing stopped). `port` 0: no HTTP server runs.
    static QString Line(const TServiceTablesWrapper& tables, std::int32_t serviceId,
                        const QString& host, int port);
};

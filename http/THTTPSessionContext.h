#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "http/TStreamWriter.h"

class TMainControl;
class TServiceTablesWrapper;
class TSettingsWrapper;
class TSocketAddress;

// What every session of one server works with: the settings, tables and controller, the
// password exemption, the server's port, its stopping flag, the hand-off to the controller's
// thread and the writer of live streams. Made and destroyed by the server on the controller's
// (main) thread; sessions use it from their own threads.
class THTTPSessionContext {
public:
    // Judges the connection's local address for the password exemption; loopback when empty.
    using LocalCheck = std::function<bool(const TSocketAddress& local)>;

    // The collaborators are not owned and must outlive the context.
    THTTPSessionContext(TSettingsWrapper& settings, TServiceTablesWrapper& tables,
                        TMainControl& control, LocalCheck isLocal);

    THTTPSessionContext(const THTTPSessionContext&) = delete;
    THTTPSessionContext& operator=(const THTTPSessionContext&) = delete;

    TSettingsWrapper& Settings() const { return settings_; }
    TServiceTablesWrapper& Tables() const { return tables_; }
    TMainControl& Control() const { return control_; }
    TStreamWriter& Writer() { return writer_; }
    const TStreamWriter& Writer() const { return writer_; }
    bool IsLocal(const TSocketAddress& local) const;

    std::uint16_t Port() const { return port_.load(); }
    void SetPort(std::uint16_t port) { port_ = port; }
    bool IsStopping() const { return stopping_.load(); }
    void SetStopping() { stopping_ = true; }

    // Runs `task` on the controller's thread and waits for it. Skipped once the server is
    // stopping, unless `evenWhenStopping` (taking a recorder back must always happen); false
    // when skipped. An exception of the task reaches the caller.
    bool CallController(const std::function<void()>& task, bool evenWhenStopping = false);

private:
    TSettingsWrapper& settings_;
    TServiceTablesWrapper& tables_;
    TMainControl& control_;
    LocalCheck isLocal_;
    std::atomic<std::uint16_t> port_{0};
    std::atomic<bool> stopping_{false};
    TStreamWriter writer_;
};

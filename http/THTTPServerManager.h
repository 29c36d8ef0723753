#pragma once

#include <memory>

class THTTPServer;
class TMainControl;
class TServiceTablesWrapper;
class TSettingsWrapper;

// Owns the running program's HTTP server and keeps the global HTTPServer pointing at it, so that
// the options window can stop and start it again after the port changed. Main thread only (the
// server is made and destroyed on the controller's thread).
class THTTPServerManager {
public:
    // Starts a server when "ServerPort" is not 0. The collaborators are not owned and must
    // outlive the manager.
    THTTPServerManager(TSettingsWrapper& settings, TServiceTablesWrapper& tables,
                       TMainControl& control);
    // Stops the server: every session has ended when it returns.
    ~THTTPServerManager();

    THTTPServerManager(const THTTPServerManager&) = delete;
    THTTPServerManager& operator=(const THTTPServerManager&) = delete;

    // Destroys the server, if any, then starts a new one when the stored "ServerPort" (read now)
    // is not 0; a port it cannot listen on is shown to the user and leaves an idle server.
    void Restart();
    // Destroys the server, if any.
    void Stop();
    // The server, null when stopped.
    THTTPServer* Server() const { return server_.get(); }

private:
    TSettingsWrapper& settings_;
    TServiceTablesWrapper& tables_;
    TMainControl& control_;
    std::unique_ptr<THTTPServer> server_;
};

// The running program's manager (null in tests that make their own servers).
extern THTTPServerManager* HTTPServerManager;

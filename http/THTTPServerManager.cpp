#include "http/THTTPServerManager.h"

#include "http/THTTPServer.h"
#include "services/TSettingsWrapper.h"

THTTPServerManager* HTTPServerManager = nullptr;

THTTPServerManager::THTTPServerManager(TSettingsWrapper& settings, TServiceTablesWrapper& tables,
                                       TMainControl& control)
    : settings_(settings), tables_(tables), control_(control) {
    Restart();
}

THTTPServerManager::~THTTPServerManager() {
    Stop();
}

void THTTPServerManager::Restart() {
    Stop();
    if (settings_.ReadInteger(Setting::ServerPort) != 0) {
        server_ = std::make_unique<THTTPServer>(settings_, tables_, control_);
        HTTPServer = server_.get();
    }
}

void THTTPServerManager::Stop() {
    // The global goes first, so nothing finds a server that is shutting down.
    HTTPServer = nullptr;
    server_.reset();
}

#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "http/THTTPServer.h"
#include "tests/http/HTTPTestClient.h"
#include "tests/support/ReceiverWorld.h"

// A server on a free port of every address over the receiver world. Its "is local" check
// answers `remote` negated, so a test can play a client from another computer.
class HTTPFixture : public ::testing::Test, public ReceiverWorld {
protected:
    HTTPFixture();
    ~HTTPFixture() override;

    // One request on a fresh connection, answered completely.
    std::string Get(const std::string& request) const;

    std::atomic<bool> remote{false};
    std::unique_ptr<THTTPServer> server;
    std::uint16_t port = 0;
};

#include "tests/http/HTTPFixture.h"

HTTPFixture::HTTPFixture()
    : server(std::make_unique<THTTPServer>(
          settings, tables, control, 0,
          [this](const TSocketAddress& local) { return !remote && local.IsLoopback(); })) {
    EXPECT_TRUE(server->IsActive());
    port = server->Port();
}

HTTPFixture::~HTTPFixture() {
    server.reset();
}

std::string HTTPFixture::Get(const std::string& request) const {
    return Exchange(port, request);
}

#pragma once

#include <chrono>
#include <cstdint>
#include <future>
#include <string>

#include "http/TSocket.h"
#include "tests/support/Polling.h"

// A blocking client of the server under test, with a 20 s receive time-out so that a broken
// server fails a test instead of hanging it.
class TestClient {
public:
    explicit TestClient(std::uint16_t port, const char* address = "127.0.0.1");

    bool IsConnected() const { return socket_.IsValid(); }
    bool Send(const std::string& text) const;
    // Everything up to the end of the stream (or the time-out).
    std::string ReadAll() const;
    // True when the server closes the connection within `milliseconds` without sending a byte.
    bool ClosedWithin(int milliseconds) const;
    // What has arrived, waiting for at least one byte; empty at the end of the stream.
    std::string ReadSome() const;
    void Close() { socket_.Close(); }
    // Ends the connection from another thread, waking a blocked read.
    void Shutdown() const { socket_.Shutdown(); }

private:
    TSocket socket_;
};

// Runs `work` on another thread while the main thread turns its event loop (sessions hand their
// controller calls to it), and returns its result.
template <class F>
auto Pumped(F work) -> decltype(work()) {
    auto result = std::async(std::launch::async, std::move(work));
    PollUntil([&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
              60000);
    return result.get();
}

// One request on a fresh connection, answered completely (the main thread pumps meanwhile).
std::string Exchange(std::uint16_t port, const std::string& request,
                     const char* address = "127.0.0.1");

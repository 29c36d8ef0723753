#include "tests/http/HTTPTestClient.h"

TestClient::TestClient(std::uint16_t port, const char* address)
    : socket_(TSocket::Connect(TSocketAddress::FromText(QString::fromLatin1(address), port))) {
    socket_.SetTimeouts(20000);
}

bool TestClient::Send(const std::string& text) const {
    return socket_.SendAll(text.data(), text.size());
}

std::string TestClient::ReadAll() const {
    std::string result;
    char buffer[65536];
    for (;;) {
        const std::ptrdiff_t count = socket_.Receive(buffer, sizeof(buffer));
        if (count <= 0) {
            return result;
        }
        result.append(buffer, static_cast<std::size_t>(count));
    }
}

std::string TestClient::ReadSome() const {
    char buffer[65536];
    const std::ptrdiff_t count = socket_.Receive(buffer, sizeof(buffer));
    return count <= 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(count));
}

bool TestClient::ClosedWithin(int milliseconds) const {
    if (socket_.WaitReadable(milliseconds) != 1) {
        return false;
    }
    char c = 0;
    return socket_.Receive(&c, 1) == 0;
}

std::string Exchange(std::uint16_t port, const std::string& request, const char* address) {
    return Pumped([port, request, address] {
        TestClient client(port, address);
        client.Send(request);
        return client.ReadAll();
    });
}

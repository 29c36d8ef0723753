#include "tests/http/HTTPTestClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <thread>

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

std::string TestClient::ReadHead() const {
    std::string result;
    char c = 0;
    while (result.size() < 4 || result.compare(result.size() - 4, 4, "\r\n\r\n") != 0) {
        if (socket_.Receive(&c, 1) != 1) {
            break;
        }
        result.push_back(c);
    }
    return result;
}

std::string TestClient::Read(std::size_t count) const {
    std::string result(count, '\0');
    std::size_t have = 0;
    while (have < count) {
        const std::ptrdiff_t got = socket_.Receive(result.data() + have, count - have);
        if (got <= 0) {
            break;
        }
        have += static_cast<std::size_t>(got);
    }
    result.resize(have);
    return result;
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

bool PumpUntil(const std::function<bool()>& done, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > milliseconds) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::string Exchange(std::uint16_t port, const std::string& request, const char* address) {
    return Pumped([port, request, address] {
        TestClient client(port, address);
        client.Send(request);
        return client.ReadAll();
    });
}

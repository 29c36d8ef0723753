#include "http/TSocket.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

void TSocket::Close() {
    fd_.Reset();
}

void TSocket::DiscardPending() const {
    char buffer[4096];
    for (int i = 0; i < 16 && fd_.IsValid(); ++i) {
        if (::recv(fd_.Get(), buffer, sizeof(buffer), MSG_DONTWAIT) <= 0) {
            break;
        }
    }
}

void TSocket::ShutdownSending() const {
    if (fd_.IsValid()) {
        ::shutdown(fd_.Get(), SHUT_WR);
    }
}

void TSocket::Shutdown() const {
    if (fd_.IsValid()) {
        ::shutdown(fd_.Get(), SHUT_RDWR);
    }
}

TSocket TSocket::Listen(std::uint16_t port) {
    const int one = 1;
    const int zero = 0;
    TSocket socket(::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.IsValid()) {
        ::setsockopt(socket.fd_.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
        ::setsockopt(socket.fd_.Get(), IPPROTO_IPV6, IPV6_V6ONLY, &zero, sizeof(zero));
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_addr = in6addr_any;
        address.sin6_port = htons(port);
        if (::bind(socket.fd_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
            ::listen(socket.fd_.Get(), SOMAXCONN) == 0) {
            return socket;
        }
        if (errno != EAFNOSUPPORT && errno != EADDRNOTAVAIL) {
            return {};
        }
    } else if (errno != EAFNOSUPPORT) {
        return {};
    }
    socket = TSocket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.IsValid()) {
        return {};
    }
    ::setsockopt(socket.fd_.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (::bind(socket.fd_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(socket.fd_.Get(), SOMAXCONN) != 0) {
        return {};
    }
    return socket;
}

TSocket TSocket::Accept() const {
    return TSocket(::accept4(fd_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
}

TSocket TSocket::Connect(const TSocketAddress& address) {
    TSocket socket(::socket(address.Data()->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.IsValid() && ::connect(socket.fd_.Get(), address.Data(), address.Length()) != 0) {
        socket.Close();
    }
    return socket;
}

void TSocket::SetTimeouts(int milliseconds) const {
    timeval tv{};
    tv.tv_sec = milliseconds / 1000;
    tv.tv_usec = (milliseconds % 1000) * 1000;
    ::setsockopt(fd_.Get(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    ::setsockopt(fd_.Get(), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof(tv));
}

int TSocket::WaitReadable(int milliseconds) const {
    pollfd p{fd_.Get(), POLLIN, 0};
    int result = 0;
    do {
        result = ::poll(&p, 1, milliseconds);
    } while (result < 0 && errno == EINTR);
    if (result <= 0) {
        return result;
    }
    if ((p.revents & POLLIN) != 0) {
        return 1;
    }
    return -1;
}

std::ptrdiff_t TSocket::Receive(void* buffer, std::size_t size) const {
    ssize_t count = 0;
    do {
        count = ::recv(fd_.Get(), buffer, size, 0);
    } while (count < 0 && errno == EINTR);
    return count;
}

bool TSocket::SendAll(const void* data, std::size_t size) const {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t sent = ::send(fd_.Get(), bytes, size, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

TSocketAddress TSocket::LocalAddress() const {
    sockaddr_storage storage{};
    socklen_t length = sizeof(storage);
    if (::getsockname(fd_.Get(), reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
        return {};
    }
    return TSocketAddress(reinterpret_cast<sockaddr*>(&storage), length);
}

TSocketAddress TSocket::PeerAddress() const {
    sockaddr_storage storage{};
    socklen_t length = sizeof(storage);
    if (::getpeername(fd_.Get(), reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
        return {};
    }
    return TSocketAddress(reinterpret_cast<sockaddr*>(&storage), length);
}

#include "http/TSocketAddress.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstring>

TSocketAddress::TSocketAddress() {
    storage_.ss_family = AF_UNSPEC;
}

TSocketAddress::TSocketAddress(const sockaddr* address, socklen_t length) {
    storage_.ss_family = AF_UNSPEC;
    if (address != nullptr && length > 0 && length <= sizeof(storage_)) {
        std::memcpy(&storage_, address, length);
        length_ = length;
    }
}

TSocketAddress TSocketAddress::FromText(const QString& text, std::uint16_t port) {
    const QByteArray ascii = text.toLatin1();
    sockaddr_in v4{};
    if (inet_pton(AF_INET, ascii.constData(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(port);
        return TSocketAddress(reinterpret_cast<const sockaddr*>(&v4), sizeof(v4));
    }
    sockaddr_in6 v6{};
    if (inet_pton(AF_INET6, ascii.constData(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        return TSocketAddress(reinterpret_cast<const sockaddr*>(&v6), sizeof(v6));
    }
    return {};
}

bool TSocketAddress::Ipv4(std::uint32_t& address) const {
    if (storage_.ss_family == AF_INET) {
        address = ntohl(reinterpret_cast<const sockaddr_in*>(&storage_)->sin_addr.s_addr);
        return true;
    }
    if (storage_.ss_family == AF_INET6) {
        const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(&storage_)->sin6_addr;
        if (IN6_IS_ADDR_V4MAPPED(&a)) {
            std::uint32_t net = 0;
            std::memcpy(&net, a.s6_addr + 12, 4);
            address = ntohl(net);
            return true;
        }
    }
    return false;
}

QString TSocketAddress::Text() const {
    char buffer[INET6_ADDRSTRLEN] = {};
    std::uint32_t v4 = 0;
    if (Ipv4(v4)) {
        in_addr a{};
        a.s_addr = htonl(v4);
        inet_ntop(AF_INET, &a, buffer, sizeof(buffer));
        return QString::fromLatin1(buffer);
    }
    if (storage_.ss_family == AF_INET6) {
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&storage_)->sin6_addr, buffer,
                  sizeof(buffer));
        return QString::fromLatin1(buffer);
    }
    return {};
}

QString TSocketAddress::HostText() const {
    std::uint32_t v4 = 0;
    if (storage_.ss_family == AF_INET6 && !Ipv4(v4)) {
        return u'[' + Text() + u']';
    }
    return Text();
}

std::uint16_t TSocketAddress::Port() const {
    if (storage_.ss_family == AF_INET) {
        return ntohs(reinterpret_cast<const sockaddr_in*>(&storage_)->sin_port);
    }
    if (storage_.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&storage_)->sin6_port);
    }
    return 0;
}

bool TSocketAddress::IsLoopback() const {
    std::uint32_t v4 = 0;
    if (Ipv4(v4)) {
        return (v4 >> 24) == 127;
    }
    if (storage_.ss_family == AF_INET6) {
        return IN6_IS_ADDR_LOOPBACK(&reinterpret_cast<const sockaddr_in6*>(&storage_)->sin6_addr);
    }
    return false;
}

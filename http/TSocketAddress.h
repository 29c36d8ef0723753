#pragma once

#include <sys/socket.h>

#include <QString>
#include <cstdint>

// An IPv4 or IPv6 socket address. IPv4 clients of the dual-stack listener arrive as IPv4-mapped
// IPv6 addresses; they are shown and judged as the IPv4 address they carry.
class TSocketAddress {
public:
    TSocketAddress();
    TSocketAddress(const sockaddr* address, socklen_t length);
    // A numeric address ("127.0.0.2", "::1"); an unparsable text gives an empty address.
    static TSocketAddress FromText(const QString& text, std::uint16_t port = 0);

    bool IsEmpty() const { return storage_.ss_family == AF_UNSPEC; }
    // The address without port: "127.0.0.1", "::1"; IPv4-mapped addresses in IPv4 form.
    QString Text() const;
    // Text() for URLs: IPv6 addresses in brackets.
    QString HostText() const;
    std::uint16_t Port() const;
    // 127.0.0.0/8 and ::1, also as IPv4-mapped addresses.
    bool IsLoopback() const;

    const sockaddr* Data() const { return reinterpret_cast<const sockaddr*>(&storage_); }
    socklen_t Length() const { return length_; }

private:
    // The IPv4 address in host order when this is IPv4 or IPv4-mapped.
    bool Ipv4(std::uint32_t& address) const;

    sockaddr_storage storage_{};
    socklen_t length_ = 0;
};

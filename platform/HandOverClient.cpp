#include "platform/HandOverClient.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <cerrno>
#include <cstring>

#include "platform/FileDescriptor.h"

namespace {

bool ConnectTo(int fd, const QByteArray& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || static_cast<size_t>(path.size()) >= sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    // With a full backlog (the running instance is busy with an earlier sender) this blocks
    // until there is room, which is the wait we want.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
        return true;
    }
    if (errno != EINTR && errno != EINPROGRESS) {
        return false;  // ENOENT / ECONNREFUSED: nobody listens
    }
    pollfd p{fd, POLLOUT, 0};
    while (::poll(&p, 1, -1) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    int error = 0;
    socklen_t length = sizeof(error);
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

}  // namespace

std::optional<int> HandOverClient::Send(int wParam, std::int64_t lParam, const QString& text) {
    return Send(HandOverProtocol::SocketPath(), wParam, lParam, text);
}

std::optional<int> HandOverClient::Send(const QString& socketPath, int wParam, std::int64_t lParam,
                                        const QString& text) {
    const FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.IsValid() || !ConnectTo(fd.Get(), QFile::encodeName(socketPath))) {
        return std::nullopt;
    }

    const QByteArray request = HandOverProtocol::Encode({wParam, lParam, text});

    qsizetype done = 0;
    while (done < request.size()) {
        const ssize_t sent = ::send(fd.Get(), request.constData() + done,
                                    static_cast<size_t>(request.size() - done), MSG_NOSIGNAL);
        if (sent > 0) {
            done += sent;
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else {
            break;  // refused part-way (a text too long): its answer may still be waiting
        }
    }

    std::int32_t answer = 0;
    size_t got = 0;
    while (got < sizeof(answer)) {
        const ssize_t r =
            ::recv(fd.Get(), reinterpret_cast<char*>(&answer) + got, sizeof(answer) - got, 0);
        if (r > 0) {
            got += static_cast<size_t>(r);
        } else if (r < 0 && errno == EINTR) {
            continue;
        } else {
            return std::nullopt;
        }
    }
    return answer;
}

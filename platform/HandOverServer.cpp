#include "platform/HandOverServer.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

HandOverServer::HandOverServer(Handler handler, QObject* parent)
    : QObject(parent),
      handler_(std::move(handler)),
      listenNotifier_(QSocketNotifier::Read),
      clientNotifier_(QSocketNotifier::Read) {
    listenNotifier_.setEnabled(false);
    clientNotifier_.setEnabled(false);
    connect(&listenNotifier_, &QSocketNotifier::activated, this, [this] { AcceptNext(); });
    connect(&clientNotifier_, &QSocketNotifier::activated, this, [this] { ReadRequest(); });
    requestTimer_.setSingleShot(true);
    connect(&requestTimer_, &QTimer::timeout, this, [this] { Answer(HandOverProtocol::kRefused); });
}

HandOverServer::~HandOverServer() {
    *alive_ = false;
    Close();
    if (listenFd_.IsValid()) {
        listenNotifier_.setEnabled(false);
        listenFd_.Reset();
        // A newer instance may have bound its own socket at the same path since: that one
        // stays, or every later hand-over would go nowhere.
        const QByteArray path = QFile::encodeName(path_);
        struct stat now {};
        if (::lstat(path.constData(), &now) == 0 && now.st_dev == boundDevice_ &&
            now.st_ino == boundInode_) {
            ::unlink(path.constData());
        }
    }
}

bool HandOverServer::Listen(const QString& socketPath) {
    Q_ASSERT(QThread::currentThread() == thread());
    if (listenFd_.IsValid()) {
        return true;
    }
    const QByteArray path = QFile::encodeName(socketPath);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || static_cast<size_t>(path.size()) >= sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    QDir().mkpath(QFileInfo(socketPath).absolutePath());

    FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.IsValid()) {
        return false;
    }
    auto* sa = reinterpret_cast<const sockaddr*>(&address);
    int r = ::bind(fd.Get(), sa, sizeof(address));
    if (r != 0 && errno == EADDRINUSE) {
        ::unlink(path.constData());  // left by an instance that died
        r = ::bind(fd.Get(), sa, sizeof(address));
    }
    if (r != 0 || ::listen(fd.Get(), SOMAXCONN) != 0) {
        return false;
    }
    struct stat bound {};
    if (::lstat(path.constData(), &bound) != 0) {
        return false;
    }
    boundDevice_ = bound.st_dev;
    boundInode_ = bound.st_ino;
    listenFd_ = std::move(fd);
    path_ = socketPath;
    listenNotifier_.setSocket(listenFd_.Get());
    listenNotifier_.setEnabled(true);
    return true;
}

void HandOverServer::AcceptNext() {
    Q_ASSERT(QThread::currentThread() == thread());
    listenNotifier_.setEnabled(false);
    if (clientFd_.IsValid()) {
        return;  // re-enabled when the current request is answered
    }
    clientFd_.Reset(::accept4(listenFd_.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!clientFd_.IsValid()) {
        listenNotifier_.setEnabled(true);
        return;
    }
    request_.clear();
    clientNotifier_.setSocket(clientFd_.Get());
    clientNotifier_.setEnabled(true);
    requestTimer_.start(requestTimeoutMs_);
    ReadRequest();
}

void HandOverServer::ReadRequest() {
    if (!clientFd_.IsValid()) {
        return;
    }
    bool ended = false;
    for (;;) {
        const qsizetype wanted = HandOverProtocol::Missing(request_);
        if (wanted == HandOverProtocol::kRefused) {
            Answer(HandOverProtocol::kRefused);
            return;
        }
        if (wanted == 0) {
            break;
        }
        if (ended) {
            Answer(HandOverProtocol::kRefused);  // the sender stopped half-way
            return;
        }
        char buffer[1024];
        const ssize_t got =
            ::recv(clientFd_.Get(), buffer,
                   std::min<size_t>(sizeof(buffer), static_cast<size_t>(wanted)), 0);
        if (got > 0) {
            request_.append(buffer, got);
        } else if (got == 0) {
            ended = true;
        } else if (errno == EINTR) {
            continue;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return;  // more arrives later
        } else {
            ended = true;
        }
    }

    // A complete request: nothing more is read from anyone until it is answered.
    clientNotifier_.setEnabled(false);
    requestTimer_.stop();
    const HandOverProtocol::Request request = HandOverProtocol::Decode(request_);

    std::int32_t result = HandOverProtocol::kRefused;
    const std::shared_ptr<bool> alive = alive_;
    try {
        result = handler_(request.wParam, request.lParam, request.text);
    } catch (...) {
        // A failing command must not unwind through the event loop; the sender learns of it.
        result = HandOverProtocol::kRefused;
    }
    if (*alive) {
        Answer(result);
    }
}

void HandOverServer::Answer(std::int32_t result) {
    if (clientFd_.IsValid()) {
        ssize_t sent;
        do {
            sent = ::send(clientFd_.Get(), &result, sizeof(result), MSG_NOSIGNAL);
        } while (sent < 0 && errno == EINTR);
    }
    Close();
    if (listenFd_.IsValid()) {
        listenNotifier_.setEnabled(true);
    }
}

void HandOverServer::Close() {
    requestTimer_.stop();
    clientNotifier_.setEnabled(false);
    clientFd_.Reset();
    request_.clear();
}

#pragma once

#include <sys/types.h>

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/FileDescriptor.h"
#include "platform/HandOverProtocol.h"

// The running instance's end of the hand-over (protocol in HandOverProtocol.h). Main thread only:
// the handler runs on the main thread, one request at a time and in arrival order, even when it
// opens a modal box (a nested event loop); later senders wait in the listen backlog meanwhile.
class HandOverServer : public QObject {
    Q_OBJECT

public:
    // Returns the message result for (wParam, lParam, text); text is empty unless sent.
    using Handler = std::function<int(int wParam, std::int64_t lParam, const QString& text)>;

    explicit HandOverServer(Handler handler, QObject* parent = nullptr);
    ~HandOverServer() override;

    // Binds the socket (a stale socket file of a dead instance is replaced: the instance lock
    // says no other instance lives) and starts answering. False when the socket cannot be made.
    bool Listen(const QString& socketPath = HandOverProtocol::SocketPath());
    bool IsListening() const { return listenFd_.IsValid(); }

    // How long a connected sender may take to deliver its request (milliseconds; 5000 unless
    // set), so a stalled sender cannot hold up the ones behind it.
    void SetRequestTimeoutMs(int ms) { requestTimeoutMs_ = ms; }

private:
    void AcceptNext();
    void ReadRequest();
    void Answer(std::int32_t result);
    void Close();

    Handler handler_;
    QString path_;
    // The socket file this server bound (device, inode): the only one it removes.
    dev_t boundDevice_ = 0;
    ino_t boundInode_ = 0;
    FileDescriptor listenFd_;
    FileDescriptor clientFd_;
    QSocketNotifier listenNotifier_;
    QSocketNotifier clientNotifier_;
    QTimer requestTimer_;
    QByteArray request_;
    int requestTimeoutMs_ = 5000;
    // Cleared by the destructor, so a handler that destroys the server is noticed afterwards.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/HandOverClient.h"
#include "platform/HandOverProtocol.h"
#include "platform/HandOverServer.h"
#include "platform/InstanceLock.h"
#include "platform/RuntimeFolder.h"
#include "tests/platform/PeerProcess.h"
#include "tests/support/Polling.h"
#include "tests/support/TestEnv.h"

namespace {

struct Call {
    int wParam;
    std::int64_t lParam;
    QString text;
    bool operator==(const Call&) const = default;
};

sockaddr_un Address(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray p = QFile::encodeName(path);
    std::memcpy(address.sun_path, p.constData(), static_cast<size_t>(p.size()));
    return address;
}

// Connects without the client class, sends `bytes` and waits (running the event loop) for an
// answer or the end of the connection.
std::optional<std::int32_t> RawExchange(const QString& path, const QByteArray& bytes,
                                        bool closeAfterSending) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address = Address(path);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    ::send(fd, bytes.constData(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL);
    if (closeAfterSending) {
        ::shutdown(fd, SHUT_WR);
    }
    std::optional<std::int32_t> answer;
    bool ended = false;
    PollUntil([&] {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 0) <= 0) {
            return false;
        }
        std::int32_t value = 0;
        if (::recv(fd, &value, sizeof(value), MSG_WAITALL) == sizeof(value)) {
            answer = value;
        }
        ended = true;
        return true;
    });
    ::close(fd);
    EXPECT_TRUE(ended);
    return answer;
}

// A second instance handing over (w, l, text); what it printed.
QString Send(int w, std::int64_t l, const QString& text = {}) {
    QStringList arguments = {"send", QString::number(w), QString::number(l)};
    if (!text.isNull()) {
        arguments.append(text);
    }
    return RunPeer(arguments);
}

QByteArray Request(int wParam, std::int64_t lParam, std::uint32_t length, const QString& text) {
    QByteArray b("TNRC");
    b.append(reinterpret_cast<const char*>(&wParam), 4);
    b.append(reinterpret_cast<const char*>(&lParam), 8);
    b.append(reinterpret_cast<const char*>(&length), 4);
    b.append(reinterpret_cast<const char*>(text.utf16()), 2 * text.size());
    return b;
}

// A fresh environment, with the application whose event loop serves the socket.
class HandOver : public ::testing::Test {
protected:
    HandOver() { EnsureApplication(); }
    TestEnv env;
};

}  // namespace

// A second process hands over each command; the handler gets exactly what was sent (64-bit
// lParam, non-ASCII text) on the main thread, and the sender prints the handler's answer.
TEST_F(HandOver, SecondProcessGetsTheAnswerOfEachCommand) {
    QList<Call> calls;
    HandOverServer server([&](int w, std::int64_t l, const QString& text) {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        calls.append({w, l, text});
        return w + 100;
    });
    ASSERT_TRUE(server.Listen());

    const QString line =
        QString::fromUtf8("/opt/tunora/tunora PLAY \"$c0de\" caf\xc3\xa9 \xe2\x82\xac");
    EXPECT_EQ(Send(0, 49374), "100");
    EXPECT_EQ(Send(1, 0, line), "101");
    EXPECT_EQ(Send(-7, 0x0123456789ABCDEFll), "93");
    EXPECT_EQ(
        calls,
        (QList<Call>{{0, 49374, QString()}, {1, 0, line}, {-7, 0x0123456789ABCDEFll, QString()}}));
}

// A text of 255 characters is the longest handed over; longer ones (a little or far longer)
// are answered -1 and never reach the handler.
TEST_F(HandOver, TextsLongerThanAnAtomAreRefused) {
    QList<int> lengths;
    HandOverServer server([&](int, std::int64_t, const QString& text) {
        lengths.append(static_cast<int>(text.size()));
        return 0;
    });
    ASSERT_TRUE(server.Listen());
    const std::pair<int, const char*> sends[] = {{255, "0"}, {256, "-1"}, {100000, "-1"}};
    for (const auto& [length, answer] : sends) {
        EXPECT_EQ(RunPeer({"send-long", QString::number(length)}), answer);
    }
    EXPECT_EQ(lengths, QList<int>{255});
    EXPECT_EQ(Send(1, 0, "x"), "0");  // the server still serves after refusing
}

// Without a listening instance (no socket, or a stale socket file of a dead one) the sender gets
// nothing; a new server replaces the stale file and answers; a destroyed server is gone again.
TEST_F(HandOver, NobodyListeningGivesNoAnswer) {
    EXPECT_EQ(Send(2, 0), "none");

    // A socket file whose owner is gone.
    const QString path = HandOverProtocol::SocketPath();
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address = Address(path);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        ::close(fd);
    }
    ASSERT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(HandOverClient::Send(2, 0), std::nullopt);

    {
        HandOverServer server([](int, std::int64_t, const QString&) { return 7; });
        ASSERT_TRUE(server.Listen());
        EXPECT_EQ(Send(2, 0), "7");
    }
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(HandOverClient::Send(2, 0), std::nullopt);
}

// An exiting instance removes only the socket it bound: when a newer instance has bound its own
// at the same path meanwhile (the restart race), the newer one keeps receiving hand-overs.
TEST_F(HandOver, ExitingServerLeavesANewerServersSocket) {
    auto old =
        std::make_unique<HandOverServer>([](int, std::int64_t, const QString&) { return 1; });
    ASSERT_TRUE(old->Listen());
    HandOverServer newer([](int, std::int64_t, const QString&) { return 2; });
    ASSERT_TRUE(newer.Listen());
    old.reset();
    EXPECT_TRUE(QFileInfo::exists(HandOverProtocol::SocketPath()));
    EXPECT_EQ(Send(2, 0), "2");
}

// Senders that arrive while the handler shows a modal box (a nested event loop) wait and are
// answered one at a time, in the order they came, never inside the running handler.
TEST_F(HandOver, ConcurrentSendersAreAnsweredInOrder) {
    QStringList order;
    int depth = 0;
    int deepest = 0;
    std::unique_ptr<QProcess> second;
    std::unique_ptr<QProcess> third;
    HandOverServer server([&](int, std::int64_t, const QString& text) {
        deepest = std::max(deepest, ++depth);
        order.append(text);
        if (text == "first") {
            // The "box" stays up while two more instances start and send.
            second = StartPeer({"send", "1", "0", "second"});
            PollUntil([&] { return second->state() == QProcess::Running; });
            PumpEvents(500);
            third = StartPeer({"send", "1", "0", "third"});
            PollUntil([&] { return third->state() == QProcess::Running; });
            PumpEvents(500);
        }
        --depth;
        return static_cast<int>(order.size());
    });
    ASSERT_TRUE(server.Listen());
    std::unique_ptr<QProcess> first = StartPeer({"send", "1", "0", "first"});
    EXPECT_EQ(WaitForPeer(*first), "1");
    ASSERT_TRUE(second && third);
    EXPECT_EQ(WaitForPeer(*second), "2");
    EXPECT_EQ(WaitForPeer(*third), "3");
    EXPECT_EQ(order, (QStringList{"first", "second", "third"}));
    EXPECT_EQ(deepest, 1);
}

// Malformed requests (wrong magic, a sender that stops half-way, a stalled sender) are answered
// -1 or dropped without reaching the handler, and do not block the senders after them.
TEST_F(HandOver, MalformedRequestsNeverReachTheHandler) {
    int handled = 0;
    HandOverServer server([&](int, std::int64_t, const QString&) {
        ++handled;
        return 5;
    });
    server.SetRequestTimeoutMs(300);
    ASSERT_TRUE(server.Listen());
    const QString path = HandOverProtocol::SocketPath();

    QByteArray wrongMagic = Request(2, 0, 0, {});
    wrongMagic[0] = 'X';
    EXPECT_EQ(RawExchange(path, wrongMagic, false), -1);
    EXPECT_EQ(RawExchange(path, Request(1, 0, 10, "abc"), true), -1);
    EXPECT_EQ(RawExchange(path, QByteArray("TNRC\x01"), true), -1);
    EXPECT_EQ(RawExchange(path, Request(1, 0, 10, "abc"), false), -1);  // timed out
    EXPECT_EQ(handled, 0);
    EXPECT_EQ(RawExchange(path, Request(1, 0, 3, "abc"), false), 5);
    EXPECT_EQ(handled, 1);
}

// While this process holds the lock a second process (and a second lock object here) is refused;
// after Release or destruction the next one gets it.
TEST(InstanceLock, OnlyOneHolderAtATime) {
    TestEnv env;
    {
        InstanceLock lock;
        ASSERT_TRUE(lock.TryAcquire());
        EXPECT_TRUE(lock.IsHeld());
        EXPECT_TRUE(lock.TryAcquire());  // asking again while holding keeps it
        EXPECT_EQ(RunPeer({"lock"}), "busy");
        InstanceLock same;
        EXPECT_FALSE(same.TryAcquire());
        EXPECT_FALSE(same.IsHeld());

        lock.Release();
        EXPECT_FALSE(lock.IsHeld());
        EXPECT_EQ(RunPeer({"lock"}), "acquired");
        ASSERT_TRUE(same.TryAcquire());
    }
    EXPECT_EQ(RunPeer({"lock"}), "acquired");
}

// A holder that dies without releasing (killed) leaves no stale lock behind.
TEST(InstanceLock, KernelReleasesTheLockOfADeadHolder) {
    TestEnv env;
    std::unique_ptr<QProcess> holder = StartPeer({"hold"});
    ASSERT_EQ(WaitForPeerLine(*holder), "held");
    InstanceLock lock;
    EXPECT_FALSE(lock.TryAcquire());
    ::kill(static_cast<pid_t>(holder->processId()), SIGKILL);
    WaitForPeer(*holder);
    EXPECT_TRUE(lock.TryAcquire());
}

// The lock file and the hand-over socket share the runtime folder: TUNORA_RUNTIME_DIR, else
// XDG_RUNTIME_DIR, else a private folder under /tmp; a missing folder is created.
TEST(InstanceLock, RuntimeFolderFollowsTheEnvironment) {
    TestEnv env;
    ::setenv("TUNORA_RUNTIME_DIR", env.File("run/deep/").toLocal8Bit().constData(), 1);
    EXPECT_EQ(InstanceLock::DefaultFile(), env.File("run/deep/TunoraRunning.lock"));
    EXPECT_TRUE(QFileInfo(env.File("run/deep")).isDir());
    EXPECT_EQ(HandOverProtocol::SocketPath(), env.File("run/deep/TTunoraWindow.sock"));

    ::unsetenv("TUNORA_RUNTIME_DIR");
    EXPECT_EQ(RuntimeFolder::Path(), env.File("runtime"));
    ::unsetenv("XDG_RUNTIME_DIR");
    const QString fallback = QStringLiteral("/tmp/tunora-%1").arg(::getuid());
    EXPECT_EQ(RuntimeFolder::Path(), fallback);
    struct stat st {};
    ASSERT_EQ(::stat(fallback.toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);  // nobody else's
}

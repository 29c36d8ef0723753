#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <cstdlib>

#include "platform/HandOverProtocol.h"
#include "platform/InstanceLock.h"
#include "platform/RuntimeFolder.h"
#include "tests/platform/PeerProcess.h"
#include "tests/support/TestEnv.h"

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

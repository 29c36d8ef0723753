#include "tests/platform/PeerProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "tests/support/Polling.h"

namespace {

QString PeerPath() {
    QString bin = qEnvironmentVariable("TUNORA_TEST_BIN_DIR");
    if (bin.isEmpty()) {
        bin = QFileInfo(QFile::symLinkTarget("/proc/self/exe")).absolutePath();
    }
    return bin + "/platform_test_peer";
}

}  // namespace

void EnsureApplication() {
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "test_platform";
        static char* argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);  // lives until the process ends
    }
}

std::unique_ptr<QProcess> StartPeer(const QStringList& arguments) {
    EnsureApplication();
    auto peer = std::make_unique<QProcess>();
    peer->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    peer->start(PeerPath(), arguments);
    return peer;
}

QString WaitForPeer(QProcess& peer, int timeoutMs) {
    PollUntil([&] { return peer.state() == QProcess::NotRunning; }, timeoutMs);
    return QString::fromUtf8(peer.readAllStandardOutput()).trimmed();
}

QString WaitForPeerLine(QProcess& peer, int timeoutMs) {
    PollUntil([&] { return peer.canReadLine() || peer.state() == QProcess::NotRunning; },
              timeoutMs);
    return QString::fromUtf8(peer.readLine()).trimmed();
}

QString RunPeer(const QStringList& arguments) {
    std::unique_ptr<QProcess> peer = StartPeer(arguments);
    return WaitForPeer(*peer);
}

#include "shell/TLogindPower.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kInterface = QStringLiteral("org.freedesktop.login1.Manager");

}  // namespace

TLogindPower::TLogindPower(std::function<void(bool)> onSleep, QObject* parent)
    : QObject(parent), onSleep_(std::move(onSleep)) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(kService).value()) {
        return;
    }
    available_ = bus.connect(kService, kPath, kInterface, QStringLiteral("PrepareForSleep"), this,
                             SLOT(OnPrepareForSleep(bool)));
}

void TLogindPower::SetBlocking(bool on) {
    if (!available_ || on == wanted_) {
        return;
    }
    wanted_ = on;
    if (!on) {
        // Closing our copy of the descriptor releases the lock.
        inhibitor_ = QDBusUnixFileDescriptor();
        return;
    }
    QDBusInterface manager(kService, kPath, kInterface, QDBusConnection::systemBus());
    const QDBusReply<QDBusUnixFileDescriptor> reply =
        manager.call(QStringLiteral("Inhibit"), QStringLiteral("sleep"), QStringLiteral("Tunora"),
                     QStringLiteral("Playing, recording, streaming or timed recording"),
                     QStringLiteral("block"));
    if (reply.isValid()) {
        inhibitor_ = reply.value();
    }
}

void TLogindPower::OnPrepareForSleep(bool start) {
    if (onSleep_) {
        onSleep_(start);
    }
}

#include "shell/TLogindPower.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QFileInfo>

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kInterface = QStringLiteral("org.freedesktop.login1.Manager");

// Whether a system bus can be there at all: without one, Qt's bus thread is not worth starting.
bool SystemBusMayExist() {
    return qEnvironmentVariableIsSet("DBUS_SYSTEM_BUS_ADDRESS") ||
           QFileInfo::exists(QStringLiteral("/run/dbus/system_bus_socket")) ||
           QFileInfo::exists(QStringLiteral("/var/run/dbus/system_bus_socket"));
}

}  // namespace

TLogindPower::TLogindPower(std::function<void(bool)> onSleep, QObject* parent)
    : QObject(parent), onSleep_(std::move(onSleep)) {
    if (!SystemBusMayExist()) {
        return;
    }
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

#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// Runs the platform_test_peer program (built beside the tests) as a second instance.
// Needs the QCoreApplication that EnsureApplication makes; the event loop runs while waiting.
void EnsureApplication();

std::unique_ptr<QProcess> StartPeer(const QStringList& arguments);
// Runs the event loop until the peer ends (or `timeoutMs` passes); its trimmed output.
QString WaitForPeer(QProcess& peer, int timeoutMs = 20000);
// Runs the event loop until the peer prints a line; that line, trimmed.
QString WaitForPeerLine(QProcess& peer, int timeoutMs = 20000);
QString RunPeer(const QStringList& arguments);
// Runs the event loop for `ms` milliseconds.
void Spin(int ms);
// Runs the event loop until `done` is true; false when `timeoutMs` passed first.
bool SpinUntil(const std::function<bool()>& done, int timeoutMs = 20000);

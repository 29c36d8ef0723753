#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <memory>

// Runs the platform_test_peer program (built beside the tests) as a second instance.
// Needs the QCoreApplication that EnsureApplication makes; the event loop runs while waiting.
void EnsureApplication();

std::unique_ptr<QProcess> StartPeer(const QStringList& arguments);
// Runs the event loop until the peer ends (a failure after `timeoutMs`); its trimmed output.
QString WaitForPeer(QProcess& peer, int timeoutMs = 20000);
// Runs the event loop until the peer prints a line or ends; that line, trimmed.
QString WaitForPeerLine(QProcess& peer, int timeoutMs = 20000);
QString RunPeer(const QStringList& arguments);

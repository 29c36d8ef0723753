#pragma once

#include <QObject>

#include "platform/FileDescriptor.h"

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a signal on the main thread, so the program ends through the same
// orderly path as the Exit action. One instance per process.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void TerminationRequested(int signalNumber);

private:
    void Drain();

    // The handler writes each signal number as one byte; the main thread reads them.
    FileDescriptor readEnd_;
    FileDescriptor writeEnd_;
    QSocketNotifier* notifier_ = nullptr;
};

#include "shell/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <tuple>

namespace {
int writeEnd = -1;

void OnSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    if (writeEnd >= 0) {
        [[maybe_unused]] ssize_t r = ::write(writeEnd, &byte, 1);
    }
    errno = saved;
}
}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    std::tie(readEnd_, writeEnd_) = FileDescriptor::Pipe(O_NONBLOCK);
    if (!readEnd_.IsValid()) {
        return;
    }
    writeEnd = writeEnd_.Get();
    notifier_ = new QSocketNotifier(readEnd_.Get(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { Drain(); });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    writeEnd = -1;
}

void TerminationSignals::Drain() {
    unsigned char byte = 0;
    while (::read(readEnd_.Get(), &byte, 1) == 1) {
        Q_EMIT TerminationRequested(byte);
    }
}

// A second process for the instance-lock and hand-over tests: it plays the second start of the
// program and prints what it saw on standard output.
//   lock                  try the instance lock once: "acquired" or "busy"
//   hold                  take the lock, print "held" (or "busy"), then wait to be killed
//   send W L [TEXT]       hand over (W, L, TEXT): the answer, or "none" when nothing listens
//   send-long COUNT       hand over wParam 1 with a text of COUNT letters
#include <unistd.h>

#include <QString>
#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/HandOverClient.h"
#include "platform/InstanceLock.h"

namespace {

int Print(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
    return 0;
}

int PrintAnswer(const std::optional<int>& answer) {
    if (!answer) {
        return Print("none");
    }
    return Print(QByteArray::number(*answer).constData());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "lock") == 0) {
        InstanceLock lock;
        return Print(lock.TryAcquire() ? "acquired" : "busy");
    }
    if (argc >= 2 && std::strcmp(argv[1], "hold") == 0) {
        InstanceLock lock;
        if (!lock.TryAcquire()) {
            return Print("busy");
        }
        Print("held");
        for (;;) {
            ::pause();
        }
    }
    if (argc >= 4 && std::strcmp(argv[1], "send") == 0) {
        const QString text = argc >= 5 ? QString::fromLocal8Bit(argv[4]) : QString();
        return PrintAnswer(HandOverClient::Send(std::atoi(argv[2]), std::atoll(argv[3]), text));
    }
    if (argc >= 3 && std::strcmp(argv[1], "send-long") == 0) {
        return PrintAnswer(
            HandOverClient::Send(1, 0, QString(std::atoi(argv[2]), QLatin1Char('A'))));
    }
    std::fprintf(stderr, "usage: platform_test_peer lock|hold|send W L [TEXT]|send-long N\n");
    return 2;
}

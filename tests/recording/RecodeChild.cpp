// The RECODE mode as the program runs it, for the recorder tests: the codec libraries are
// probed first, then the first word diverts. TUNORA_TEST_CHILD_EXIT_AFTER=n makes a child that
// reads n bytes and ends, as one whose codec failed; TUNORA_TEST_CHILD_HANG makes one that reads
// to the end of its input and then hangs, deaf to SIGTERM.

#include <signal.h>
#include <unistd.h>

#include <QString>
#include <cstdlib>

#include "recording/CodecAvailability.h"
#include "recording/TRecoderObject.h"

int main(int argc, char** argv) {
    if (std::getenv("TUNORA_TEST_CHILD_HANG")) {
        ::signal(SIGTERM, SIG_IGN);
        char buffer[256];
        while (::read(0, buffer, sizeof(buffer)) > 0) {
        }
        for (;;) {
            ::pause();
        }
    }
    if (const char* limit = std::getenv("TUNORA_TEST_CHILD_EXIT_AFTER")) {
        long left = std::atol(limit);
        char buffer[256];
        while (left > 0) {
            const ssize_t got = ::read(0, buffer, left < 256 ? left : 256);
            if (got <= 0) {
                break;
            }
            left -= got;
        }
        return 3;
    }
    ProbeCodecs();
    if (argc > 1 && QString::fromLocal8Bit(argv[1]).toUpper() == "RECODE") {
        return RunRecodeMode(argc, argv);
    }
    return 2;
}

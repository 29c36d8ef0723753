#include "shell/TimerBeep.h"

#include <QApplication>
#include <cstdio>

std::function<void(int)> MakeTimerBeep(bool headless) {
    if (headless) {
        return [](int times) {
            std::fprintf(stderr, "Tunora: beep x%d: a timed recording could not start.\n", times);
        };
    }
    return [](int times) {
        for (int i = 0; i < times; ++i) {
            QApplication::beep();
        }
    };
}

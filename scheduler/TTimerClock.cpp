#include "scheduler/TTimerClock.h"

#include <QDateTime>

TTimerClock TTimerClock::System() {
    return {[] { return QDateTime::currentMSecsSinceEpoch(); }, QTimeZone::systemTimeZone()};
}

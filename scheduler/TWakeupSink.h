#pragma once

#include <QList>

#include "scheduler/TWakeupTrigger.h"

// Where the schedule's wake-up triggers go: whatever starts (and wakes) the machine in time for
// each recording. Called on the thread that saves the schedule. This base keeps nothing.
class TWakeupSink {
public:
    virtual ~TWakeupSink();

    // Replaces every trigger handed over before with `triggers`; an empty list removes them all.
    // May throw; the schedule swallows the failure.
    virtual void ReplaceTriggers(const QList<TWakeupTrigger>& triggers);

    // A shared sink that keeps nothing, for schedules that do not wake the machine.
    static TWakeupSink& None();
};

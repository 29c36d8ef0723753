#include "scheduler/TWakeupSink.h"

TWakeupSink::~TWakeupSink() = default;

void TWakeupSink::ReplaceTriggers(const QList<TWakeupTrigger>&) {}

TWakeupSink& TWakeupSink::None() {
    static TWakeupSink none;
    return none;
}

#pragma once

#include <functional>
#include <source_location>

// Turns the calling thread's event loop until `condition` holds. On time-out (milliseconds) adds
// a failure at the caller's line and answers false, so `ASSERT_TRUE(PollUntil(...))` stops there.
bool PollUntil(const std::function<bool()>& condition, int timeoutMs = 10000,
               std::source_location where = std::source_location::current());

// Turns the calling thread's event loop for `milliseconds`.
void PumpEvents(int milliseconds);

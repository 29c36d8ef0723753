#pragma once

#include <functional>

// How the program sounds a refused timed recording: the desktop's bell, or without a display one
// line on standard error per refusal. Main thread.
std::function<void(int times)> MakeTimerBeep(bool headless);

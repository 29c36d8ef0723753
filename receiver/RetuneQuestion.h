#pragma once

#include <cstdint>

class TMainControl;

// Before a window starts a service: refuses ("Unable to retune. ...") when the service would
// retune under a recording, and asks when it would retune under a stream. True when the caller
// may go on. Main thread.
bool ConfirmRetune(const TMainControl& control, std::int32_t serviceId);

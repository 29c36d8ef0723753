#pragma once

#include <QString>

// The per-user folder of the instance lock and the hand-over socket: $TUNORA_RUNTIME_DIR, else
// $XDG_RUNTIME_DIR, else /tmp/tunora-<uid> (mode 0700). Created when missing; no trailing slash.
class RuntimeFolder {
public:
    static QString Path();
};

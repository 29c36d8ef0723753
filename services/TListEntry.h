#pragma once

#include <QList>
#include <QString>
#include <cstdint>

// One line of a display list with the integer object attached to it (a ServiceID, or a
// frequency in kHz), as the menus and list windows use them.
struct TListEntry {
    QString Text;
    std::int64_t Object = 0;
    bool operator==(const TListEntry&) const = default;
};

using TListEntries = QList<TListEntry>;

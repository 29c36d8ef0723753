#include "platform/HandOverProtocol.h"

#include "platform/RuntimeFolder.h"

QString HandOverProtocol::SocketPath() {
    return RuntimeFolder::Path() + QStringLiteral("/TTunoraWindow.sock");
}

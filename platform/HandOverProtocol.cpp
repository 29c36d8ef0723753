#include "platform/HandOverProtocol.h"

#include "platform/RuntimeFolder.h"

#include <algorithm>
#include <cstring>

QString HandOverProtocol::SocketPath() {
    return RuntimeFolder::Path() + QStringLiteral("/TTunoraWindow.sock");
}

QByteArray HandOverProtocol::Encode(const Request& request) {
    const std::uint32_t n = static_cast<std::uint32_t>(request.text.size());
    QByteArray bytes;
    bytes.append(kMagic, sizeof(kMagic));
    bytes.append(reinterpret_cast<const char*>(&request.wParam), sizeof(request.wParam));
    bytes.append(reinterpret_cast<const char*>(&request.lParam), sizeof(request.lParam));
    bytes.append(reinterpret_cast<const char*>(&n), sizeof(n));
    bytes.append(reinterpret_cast<const char*>(request.text.utf16()), 2 * request.text.size());
    return bytes;
}

qsizetype HandOverProtocol::Missing(const QByteArray& received) {
    if (received.size() < kHeaderSize) {
        return kHeaderSize - received.size();
    }
    std::uint32_t n;
    std::memcpy(&n, received.constData() + 16, sizeof(n));
    if (std::memcmp(received.constData(), kMagic, sizeof(kMagic)) != 0 ||
        n > static_cast<std::uint32_t>(kMaxTextLength)) {
        return kRefused;
    }
    return std::max<qsizetype>(0, kHeaderSize + 2 * qsizetype{n} - received.size());
}

HandOverProtocol::Request HandOverProtocol::Decode(const QByteArray& received) {
    Request request;
    std::uint32_t n;
    std::memcpy(&request.wParam, received.constData() + 4, sizeof(request.wParam));
    std::memcpy(&request.lParam, received.constData() + 8, sizeof(request.lParam));
    std::memcpy(&n, received.constData() + 16, sizeof(n));
    request.text.resize(n);
    std::memcpy(request.text.data(), received.constData() + kHeaderSize, 2 * size_t{n});
    return request;
}

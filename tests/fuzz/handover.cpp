// Hand-over requests: any bytes are refused, wait for more or decode to what encodes them again.
#include <cstdlib>

#include "platform/HandOverProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray received(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype missing = HandOverProtocol::Missing(received);
    if (missing != 0) {
        return 0;
    }
    const HandOverProtocol::Request request = HandOverProtocol::Decode(received);
    if (!received.startsWith(HandOverProtocol::Encode(request))) {
        std::abort();
    }
    return 0;
}

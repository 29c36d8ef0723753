// GIF pictures: decoded within their bounds or refused with a reason.
#include <cstdlib>

#include "imaging/TGifDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QString error;
    const auto bitmap = TGifDecoder::Decode(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)), &error);
    if (!bitmap && error.isEmpty()) {
        std::abort();
    }
    return 0;
}

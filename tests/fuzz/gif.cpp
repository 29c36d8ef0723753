// GIF pictures: decoded or refused with a reason; a decoded one goes through what a service
// picture from the branding folder goes through (icon file, grey image-list entry, PNG).
#include <cstdlib>

#include "imaging/TGifDecoder.h"
#include "imaging/TPngWriter.h"
#include "windows/TIconWriter.h"
#include "windows/TServicePictures.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QString error;
    const auto bitmap = TGifDecoder::Decode(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)), &error);
    if (!bitmap) {
        if (error.isEmpty()) {
            std::abort();
        }
        return 0;
    }
    const TIndexedBitmap picture = bitmap->Scaled(32, 32);
    TIconWriter writer;
    writer.Add(TServicePictures::MakeIcon(picture), static_cast<int>(picture.Palette().size()));
    const std::vector<std::uint32_t> argb = picture.Greyscale().ToArgb();
    if (writer.Bytes().isEmpty() || TPngWriter::Encode(32, 32, argb).isEmpty()) {
        std::abort();
    }
    return 0;
}

#include "shell/GuiImages.h"

#include <QPixmap>
#include <cstring>

#include "imaging/TGifDecoder.h"
#include "imaging/TIndexedBitmap.h"
#include "resources/Resources.h"

QImage GuiImages::FromBitmap(const TIndexedBitmap& bitmap) {
    if (bitmap.IsEmpty()) {
        return {};
    }
    const std::vector<std::uint32_t> argb = bitmap.ToArgb();
    QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_ARGB32);
    for (int y = 0; y < bitmap.Height(); ++y) {
        std::memcpy(image.scanLine(y), argb.data() + static_cast<std::size_t>(y) * bitmap.Width(),
                    static_cast<std::size_t>(bitmap.Width()) * 4);
    }
    return image;
}

QImage GuiImages::Gif(const QString& name) {
    const std::optional<TIndexedBitmap> bitmap = TGifDecoder::LoadResource(name);
    return bitmap ? FromBitmap(*bitmap) : QImage();
}

QIcon GuiImages::MainIcon() {
    QIcon icon;
    for (const char* name : {"MAINICON", "MAINICON16"}) {
        if (const std::optional<QByteArray> png =
                Resources::Find(QStringLiteral("ICON"), QString::fromLatin1(name))) {
            QPixmap pixmap;
            if (pixmap.loadFromData(*png)) {
                icon.addPixmap(pixmap);
            }
        }
    }
    return icon;
}

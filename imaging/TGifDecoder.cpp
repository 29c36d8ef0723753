#include "imaging/TGifDecoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "resources/Resources.h"

namespace {

struct MemoryReader {
    const QByteArray* data;
    qsizetype position;
};

// giflib's input callback: copies up to `length` bytes; a short count makes giflib report a
// read failure, which is how cut-short data ends.
int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int length) {
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    const qsizetype available = reader->data->size() - reader->position;
    const int count = static_cast<int>(std::min<qsizetype>(std::max(length, 0), available));
    if (count > 0) {
        std::memcpy(buffer, reader->data->constData() + reader->position, count);
        reader->position += count;
    }
    return count;
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int ignored = 0;
        DGifCloseFile(gif, &ignored);
    }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

QString GifError(int code) {
    const char* text = GifErrorString(code);
    return QStringLiteral("GIF data is damaged: %1")
        .arg(text ? QString::fromLatin1(text) : QString::number(code));
}

std::optional<TIndexedBitmap> Fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return std::nullopt;
}

std::vector<TRgb> PaletteOf(const ColorMapObject* map) {
    std::vector<TRgb> palette;
    if (!map || !map->Colors || map->ColorCount <= 0)
        return palette;
    const int count = std::min(map->ColorCount, 256);
    palette.reserve(count);
    for (int i = 0; i < count; ++i) {
        palette.push_back(TRgb{map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue});
    }
    return palette;
}

}  // namespace

std::optional<TIndexedBitmap> TGifDecoder::Decode(const QByteArray& data, QString* error) {
    MemoryReader reader{&data, 0};
    int code = 0;
    GifHandle gif(DGifOpen(&reader, ReadFromMemory, &code));
    if (!gif)
        return Fail(error, GifError(code));

    int transparent = TIndexedBitmap::kNoTransparency;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR)
            return Fail(error, GifError(gif->Error));
        if (record == TERMINATE_RECORD_TYPE)
            return Fail(error, QStringLiteral("GIF data holds no image"));
        if (record == EXTENSION_RECORD_TYPE) {
            int extensionCode = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &extensionCode, &block) == GIF_ERROR) {
                return Fail(error, GifError(gif->Error));
            }
            // The graphics control extension before the image carries its transparent index;
            // block[0] is the sub-block's length.
            if (extensionCode == GRAPHICS_EXT_FUNC_CODE && block) {
                GraphicsControlBlock control{};
                if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
                    transparent = control.TransparentColor;
                }
            }
            while (block) {
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) {
                    return Fail(error, GifError(gif->Error));
                }
            }
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE)
            continue;

        if (DGifGetImageDesc(gif.get()) == GIF_ERROR)
            return Fail(error, GifError(gif->Error));
        const GifImageDesc& image = gif->Image;
        if (image.Left < 0 || image.Top < 0 || image.Width <= 0 || image.Height <= 0) {
            return Fail(error, QStringLiteral("GIF image has no pixels"));
        }
        const int width = std::max(gif->SWidth, image.Left + image.Width);
        const int height = std::max(gif->SHeight, image.Top + image.Height);
        if (static_cast<long long>(width) * height > kMaxPixels) {
            return Fail(error,
                        QStringLiteral("GIF image is too large (%1 x %2)").arg(width).arg(height));
        }

        const ColorMapObject* map = image.ColorMap ? image.ColorMap : gif->SColorMap;
        const int fill = transparent != TIndexedBitmap::kNoTransparency ? transparent
                         : gif->SColorMap                               ? gif->SBackGroundColor
                                                                        : 0;
        TIndexedBitmap bitmap(width, height, PaletteOf(map), transparent,
                              static_cast<std::uint8_t>(fill));

        // Rows in file order: top to bottom, or for an interlaced image the four passes
        // (every 8th row from 0, every 8th from 4, every 4th from 2, every 2nd from 1).
        std::vector<int> rows;
        rows.reserve(image.Height);
        if (image.Interlace) {
            static constexpr int kStart[] = {0, 4, 2, 1};
            static constexpr int kStep[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass) {
                for (int r = kStart[pass]; r < image.Height; r += kStep[pass])
                    rows.push_back(r);
            }
        } else {
            for (int r = 0; r < image.Height; ++r)
                rows.push_back(r);
        }
        for (int r : rows) {
            if (DGifGetLine(gif.get(), bitmap.Row(image.Top + r) + image.Left, image.Width) ==
                GIF_ERROR) {
                return Fail(error, GifError(gif->Error));
            }
        }
        return bitmap;
    }
}

std::optional<TIndexedBitmap> TGifDecoder::LoadResource(const QString& name, QString* error) {
    std::optional<QByteArray> data = Resources::Find(QStringLiteral("GIF"), name);
    if (!data)
        return Fail(error, QStringLiteral("No GIF resource \"%1\"").arg(name));
    return Decode(*data, error);
}

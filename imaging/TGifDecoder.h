#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "imaging/TIndexedBitmap.h"

// Decodes GIF pictures (87a and 89a) with giflib. Only the first image of a file is read: the
// bitmap covers the logical screen (grown to hold the image if the image reaches beyond it),
// the image placed at its offset and the rest filled with the transparent index, or the
// background index when there is none. The palette is the image's local colour table, else the
// global one; without either it is empty (every pixel then reads as black). Stateless; any
// thread.
class TGifDecoder {
public:
    // Bitmaps larger than this many pixels are refused rather than allocated.
    static constexpr long long kMaxPixels = 16LL * 1024 * 1024;

    // The first image of `data`, or nothing with a reason in `error` (when given) for data
    // that is not a GIF, is cut short or damaged, holds no image or is too large.
    static std::optional<TIndexedBitmap> Decode(const QByteArray& data, QString* error = nullptr);

    // The program's GIF resource `name` (matched without regard to case), decoded.
    static std::optional<TIndexedBitmap> LoadResource(const QString& name,
                                                      QString* error = nullptr);
};

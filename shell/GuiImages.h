#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

class TIndexedBitmap;

// The program's pictures as Qt images (main thread).
class GuiImages {
public:
    static QImage FromBitmap(const TIndexedBitmap& bitmap);
    // The GIF resource `name` (any letter case); a null image when there is none.
    static QImage Gif(const QString& name);
    // The program's icon ("MAINICON"), with its 16 and 32 pixel pictures.
    static QIcon MainIcon();
};

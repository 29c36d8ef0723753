#pragma once

#include <QByteArray>

#include "imaging/TIndexedBitmap.h"
#include "windows/TIcon.h"

// One image of an icon file: the icon's parts and its two bitmaps extracted as
// device-independent bitmaps (bitmap-info block = 40-byte header + palette, and pixel rows
// bottom-up, each padded to a multiple of 4 bytes), all little-endian. The mask is extracted
// with 2 colours, the colour image with the raised colour count. A value type.
class TIconWriterEntry {
public:
    static constexpr int kInfoHeaderSize = 40;

    TIconWriterEntry(const TIcon& icon, int colourCount);

    // 2, 16, 256, 65536 or 16777216: the next of these at or above `count`.
    static int RaiseColourCount(int count);
    // Bits per pixel of a DIB with a raised colour count: 1, 4, 8, or 32 above 256.
    static int BitsPerPixel(int raisedColourCount);
    // Bytes of one pixel row of that depth, padded to 32 bits.
    static int RowBytes(int width, int bitsPerPixel);
    // Little-endian fields of the icon file.
    static void PutU16(QByteArray& out, std::uint16_t value);
    static void PutU32(QByteArray& out, std::uint32_t value);

    bool IsIcon() const { return isIcon_; }
    int HotSpotX() const { return hotSpotX_; }
    int HotSpotY() const { return hotSpotY_; }
    const TIndexedBitmap& MaskBitmap() const { return mask_; }
    const TIndexedBitmap& ColourBitmap() const { return colour_; }
    int ColourCount() const { return colourCount_; }

    int MaskInfoSize() const { return static_cast<int>(maskInfo_.size()); }
    int MaskBitsSize() const { return static_cast<int>(maskBits_.size()); }
    int ColourInfoSize() const { return static_cast<int>(colourInfo_.size()); }
    int ColourBitsSize() const { return static_cast<int>(colourBits_.size()); }
    const QByteArray& MaskInfo() const { return maskInfo_; }
    const QByteArray& MaskBits() const { return maskBits_; }
    const QByteArray& ColourInfo() const { return colourInfo_; }
    const QByteArray& ColourBits() const { return colourBits_; }

private:
    bool isIcon_ = true;
    int hotSpotX_ = 0;
    int hotSpotY_ = 0;
    TIndexedBitmap mask_;
    TIndexedBitmap colour_;
    int colourCount_ = 2;
    QByteArray maskInfo_;
    QByteArray maskBits_;
    QByteArray colourInfo_;
    QByteArray colourBits_;
};

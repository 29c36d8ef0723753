#pragma once

#include "imaging/TIndexedBitmap.h"

// An icon's parts as a service picture gives them, ready for the icon writer or an image list.
// Both bitmaps have the picture's size.
struct TIcon {
    // An icon, not a cursor; the hot spot only means something for a cursor.
    bool IsIcon = true;
    int HotSpotX = 0;
    int HotSpotY = 0;
    // Two colours, black (index 0) and white (index 1), no transparency: 1 where the picture is
    // transparent, 0 where it is opaque.
    TIndexedBitmap Mask;
    // The picture with its transparent pixels black and no transparent index left.
    TIndexedBitmap Colour;
};

#pragma once

#include <vector>

#include "imaging/TIndexedBitmap.h"

// A list of same-sized images with their masks, as the service list window shows them; the user
// interface turns an entry into its own image type. A value type.
class TImageList {
public:
    struct Entry {
        // The picture with its transparent pixels black.
        TIndexedBitmap Image;
        // Black (0) and white (1): 1 where the picture is transparent.
        TIndexedBitmap Mask;
    };

    // A list of width x height images (sizes below 1 count as 1).
    TImageList(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Count() const { return static_cast<int>(entries_.size()); }
    const Entry& At(int index) const { return entries_[index]; }

    // Adds an image and its mask, each sized to the list's width and height; returns its index.
    int Add(const TIndexedBitmap& image, const TIndexedBitmap& mask);
    void Clear() { entries_.clear(); }

private:
    int width_;
    int height_;
    std::vector<Entry> entries_;
};

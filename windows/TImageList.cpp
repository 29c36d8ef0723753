#include "windows/TImageList.h"

#include <algorithm>

TImageList::TImageList(int width, int height)
    : width_(std::max(width, 1)), height_(std::max(height, 1)) {}

int TImageList::Add(const TIndexedBitmap& image, const TIndexedBitmap& mask) {
    entries_.push_back({image.Scaled(width_, height_), mask.Scaled(width_, height_)});
    return Count() - 1;
}

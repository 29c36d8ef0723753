#include "imaging/TIndexedBitmap.h"

#include <algorithm>
#include <utility>

TIndexedBitmap::TIndexedBitmap(int width, int height, std::vector<TRgb> palette,
                               int transparentIndex, std::uint8_t fill)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      palette_(std::move(palette)),
      transparent_(transparentIndex),
      pixels_(static_cast<std::size_t>(width_) * height_, fill) {
    if (width_ == 0 || height_ == 0) {
        width_ = height_ = 0;
        pixels_.clear();
    }
}

TRgb TIndexedBitmap::Colour(std::uint8_t index) const {
    return index < palette_.size() ? palette_[index] : TRgb{};
}

TIndexedBitmap TIndexedBitmap::Scaled(int width, int height) const {
    if (IsEmpty())
        return TIndexedBitmap(0, 0, palette_, transparent_);
    TIndexedBitmap result(width, height, palette_, transparent_);
    if (result.IsEmpty())
        return result;
    // Source column of each target column, sampled at the target pixel's centre:
    // (2x + 1) * srcWidth / (2 * width), in 64-bit to stay clear of overflow.
    std::vector<int> columns(result.width_);
    for (int x = 0; x < result.width_; ++x) {
        columns[x] =
            static_cast<int>((2 * std::int64_t{x} + 1) * width_ / (2 * std::int64_t{width}));
    }
    for (int y = 0; y < result.height_; ++y) {
        const int sy =
            static_cast<int>((2 * std::int64_t{y} + 1) * height_ / (2 * std::int64_t{height}));
        const std::uint8_t* src = Row(sy);
        std::uint8_t* dst = result.Row(y);
        for (int x = 0; x < result.width_; ++x)
            dst[x] = src[columns[x]];
    }
    return result;
}

TIndexedBitmap TIndexedBitmap::Greyscale() const {
    TIndexedBitmap result = *this;
    for (TRgb& c : result.palette_) {
        // Weights in thousandths; + 500 rounds to nearest.
        const auto grey =
            static_cast<std::uint8_t>((299 * c.R + 587 * c.G + 114 * c.B + 500) / 1000);
        c = TRgb{grey, grey, grey};
    }
    return result;
}

std::vector<std::uint32_t> TIndexedBitmap::ToArgb() const {
    // One lookup table for all 256 indices keeps the per-pixel work to a load.
    std::uint32_t table[256];
    for (int i = 0; i < 256; ++i) {
        const TRgb c = Colour(static_cast<std::uint8_t>(i));
        table[i] = i == transparent_
                       ? 0u
                       : 0xFF000000u | (std::uint32_t{c.R} << 16) | (std::uint32_t{c.G} << 8) | c.B;
    }
    std::vector<std::uint32_t> argb(pixels_.size());
    std::transform(pixels_.begin(), pixels_.end(), argb.begin(),
                   [&table](std::uint8_t index) { return table[index]; });
    return argb;
}

#pragma once

#include <cstdint>
#include <vector>

// One palette entry.
struct TRgb {
    std::uint8_t R = 0;
    std::uint8_t G = 0;
    std::uint8_t B = 0;
    bool operator==(const TRgb&) const = default;
};

// A picture of one byte per pixel indexing a palette of RGB triples, with at most one index
// standing for "transparent". This is what the GIF decoder gives; the user interface turns it
// into its own image type, and the icon and image-list code work from it. A value type; not
// shared between threads while being changed.
class TIndexedBitmap {
public:
    static constexpr int kNoTransparency = -1;

    TIndexedBitmap() = default;
    // A width x height bitmap (negative sizes count as 0) with every pixel set to `fill`.
    TIndexedBitmap(int width, int height, std::vector<TRgb> palette,
                   int transparentIndex = kNoTransparency, std::uint8_t fill = 0);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool IsEmpty() const { return width_ == 0 || height_ == 0; }
    const std::vector<TRgb>& Palette() const { return palette_; }
    // The transparent index, or kNoTransparency. It may lie beyond the palette.
    int TransparentIndex() const { return transparent_; }
    // Row-major, Width() bytes per row, no padding.
    const std::vector<std::uint8_t>& Pixels() const { return pixels_; }
    std::uint8_t* Row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * width_; }
    const std::uint8_t* Row(int y) const {
        return pixels_.data() + static_cast<std::size_t>(y) * width_;
    }

    // Pixel access; the coordinates must lie inside the bitmap.
    std::uint8_t Pixel(int x, int y) const { return Row(y)[x]; }
    void SetPixel(int x, int y, std::uint8_t index) { Row(y)[x] = index; }
    bool IsTransparent(int x, int y) const { return Pixel(x, y) == transparent_; }

    // The colour of an index; an index beyond the palette is black.
    TRgb Colour(std::uint8_t index) const;

    // The picture stretched or shrunk to width x height by nearest neighbour (pixel centres),
    // with the same palette and transparent index. Sizes of 0 or less give an empty bitmap.
    TIndexedBitmap Scaled(int width, int height) const;

    // The same pixels with every palette entry replaced by its luminance
    // (0.299 R + 0.587 G + 0.114 B, rounded); the transparent index stays transparent.
    TIndexedBitmap Greyscale() const;

    // 32-bit 0xAARRGGBB pixels, row-major: opaque colours, and 0 (transparent black) for the
    // transparent index. Since transparent pixels are all-zero, the result is valid both as
    // straight and as premultiplied ARGB.
    std::vector<std::uint32_t> ToArgb() const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<TRgb> palette_;
    int transparent_ = kNoTransparency;
    std::vector<std::uint8_t> pixels_;
};

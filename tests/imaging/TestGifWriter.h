#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

#include "imaging/TIndexedBitmap.h"

// Builds small GIF files with giflib's encoder, so the decoder is tested against an independent
// writer. Pixels are given top to bottom; an interlaced frame is written in the pass order of
// the GIF standard.
struct TestGifFrame {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool interlace = false;
    std::vector<TRgb> localColours;  // empty: no local colour table
    int transparent = -1;            // -1: no graphics control extension
    std::vector<std::uint8_t> pixels;
};

struct TestGif {
    int screenWidth = 0;
    int screenHeight = 0;
    int background = 0;
    std::vector<TRgb> globalColours;  // empty: no global colour table
    std::vector<TestGifFrame> frames;
};

QByteArray WriteTestGif(const TestGif& gif);

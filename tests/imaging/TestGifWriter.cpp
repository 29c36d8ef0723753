#include "tests/imaging/TestGifWriter.h"

#include <gif_lib.h>

#include <stdexcept>

namespace {

int WriteToBuffer(GifFileType* gif, const GifByteType* bytes, int length) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(bytes), length);
    return length;
}

// giflib wants a power-of-two table; the rest is padded with black.
ColorMapObject* MakeMap(const std::vector<TRgb>& colours) {
    if (colours.empty())
        return nullptr;
    int size = 2;
    while (size < static_cast<int>(colours.size()))
        size *= 2;
    std::vector<GifColorType> entries(size, GifColorType{0, 0, 0});
    for (std::size_t i = 0; i < colours.size(); ++i) {
        entries[i] = GifColorType{colours[i].R, colours[i].G, colours[i].B};
    }
    return GifMakeMapObject(size, entries.data());
}

void Check(int result, const char* what) {
    if (result == GIF_ERROR)
        throw std::runtime_error(what);
}

}  // namespace

QByteArray WriteTestGif(const TestGif& picture) {
    QByteArray out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteToBuffer, &error);
    if (!gif)
        throw std::runtime_error("EGifOpen");
    EGifSetGifVersion(gif, true);
    ColorMapObject* global = MakeMap(picture.globalColours);
    Check(EGifPutScreenDesc(gif, picture.screenWidth, picture.screenHeight, 8, picture.background,
                            global),
          "screen");
    GifFreeMapObject(global);
    for (const TestGifFrame& frame : picture.frames) {
        if (frame.transparent >= 0) {
            GraphicsControlBlock control{};
            control.DisposalMode = DISPOSAL_UNSPECIFIED;
            control.TransparentColor = frame.transparent;
            GifByteType block[4];
            EGifGCBToExtension(&control, block);
            Check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, block), "extension");
        }
        ColorMapObject* local = MakeMap(frame.localColours);
        if (!local && gif->Image.ColorMap) {
            // giflib 5.2 drops the previous frame's local table without freeing it when the next
            // frame has none.
            GifFreeMapObject(gif->Image.ColorMap);
            gif->Image.ColorMap = nullptr;
        }
        Check(EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height,
                               frame.interlace, local),
              "image");
        GifFreeMapObject(local);
        // Rows go out in the standard's four interlace passes, or top to bottom.
        std::vector<std::pair<int, int>> passes = {{0, 1}};
        if (frame.interlace)
            passes = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
        for (auto [first, step] : passes) {
            for (int r = first; r < frame.height; r += step) {
                std::vector<GifPixelType> line(frame.pixels.begin() + r * frame.width,
                                               frame.pixels.begin() + (r + 1) * frame.width);
                Check(EGifPutLine(gif, line.data(), frame.width), "line");
            }
        }
    }
    if (EGifCloseFile(gif, &error) == GIF_ERROR)
        throw std::runtime_error("EGifCloseFile");
    return out;
}

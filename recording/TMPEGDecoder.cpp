#include "recording/TMPEGDecoder.h"

#include <algorithm>

#include "recording/CodecError.h"

TMPEGDecoder::TMPEGDecoder() : library_(QString::fromLatin1(CodecLibrary::kDecoderFile)) {
    initMP3_ = reinterpret_cast<InitMP3Fn>(library_.Symbol("_InitMP3"));
    decodeMP3_ = reinterpret_cast<DecodeMP3Fn>(library_.Symbol("_decodeMP3"));
    exitMP3_ = reinterpret_cast<ExitMP3Fn>(library_.Symbol("_ExitMP3"));
    if (!initMP3_ || !decodeMP3_ || !exitMP3_) {
        throw CodecError("MPGLib.dll not loaded.");
    }
    DecoderState = std::make_unique<std::uint8_t[]>(MpgLibStateBytes);
    if (!initMP3_(DecoderState.get())) {
        throw CodecError("MPGLib.dll InitMP3 Error");
    }
}

TMPEGDecoder::~TMPEGDecoder() {
    exitMP3_(DecoderState.get());
}

int TMPEGDecoder::Decode(const std::uint8_t* input, int inputBytes, std::uint8_t* output,
                         int outputCapacity) {
    int produced = 0;
    if (decodeMP3_(DecoderState.get(), input, inputBytes, output, outputCapacity, &produced) !=
        MpgLibOk) {
        return 0;
    }
    return produced < 0 ? 0 : std::min(produced, outputCapacity);
}

bool TMPEGDecoder::LibraryAvailable() {
    const CodecLibrary library(QString::fromLatin1(CodecLibrary::kDecoderFile));
    return library.Symbol("_InitMP3") && library.Symbol("_decodeMP3") && library.Symbol("_ExitMP3");
}

#pragma once

#include <cstdint>
#include <memory>

#include "codecs/MpgLib.h"
#include "recording/CodecLibrary.h"

// Decodes one MPEG audio stream (any layer, cut anywhere) to 16-bit interleaved PCM in the
// stream's own rate and channel count, through libmpglib.so. One thread at a time.
class TMPEGDecoder {
public:
    // Throws CodecError "MPGLib.dll not loaded." when the library or an entry point is missing,
    // "MPGLib.dll InitMP3 Error" when the library refuses to start.
    TMPEGDecoder();
    ~TMPEGDecoder();
    TMPEGDecoder(const TMPEGDecoder&) = delete;
    TMPEGDecoder& operator=(const TMPEGDecoder&) = delete;

    // Feeds `inputBytes` bytes and returns the PCM bytes written to `output` (at most
    // `outputCapacity`), 0 when none. PCM that did not fit stays in the decoder: call again with
    // no input until it returns 0 to take all of it (at the end of input, or when one input block
    // holds more audio than the output takes).
    int Decode(const std::uint8_t* input, int inputBytes, std::uint8_t* output, int outputCapacity);

    // The decoder library and its three entry points can be loaded (loads and unloads it).
    static bool LibraryAvailable();

private:
    CodecLibrary library_;
    InitMP3Fn initMP3_ = nullptr;
    DecodeMP3Fn decodeMP3_ = nullptr;
    ExitMP3Fn exitMP3_ = nullptr;
    // The library's opaque area of MpgLibStateBytes bytes.
    std::unique_ptr<std::uint8_t[]> DecoderState;
};

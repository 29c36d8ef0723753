#pragma once

#include <QString>
#include <cstdint>
#include <memory>

#include "codecs/BladeEncoder.h"
#include "recording/CodecLibrary.h"

// One encoder stream over a library with the be- interface (liblame_enc.so, libvorb_enc.so).
// One thread at a time.
class TBladeInterface {
public:
    // Loads `libraryName`; throws CodecError "Unable to load encoder DLL." when it or one of the
    // five entry points is missing. With a configuration record, opens a stream on it and throws
    // "beInitStream Error." when the library refuses; without one it only proves the library
    // usable.
    explicit TBladeInterface(const QString& libraryName, const void* config = nullptr);
    // Closes the stream without flushing it (Finish first to keep the encoder's last bytes).
    ~TBladeInterface();
    TBladeInterface(const TBladeInterface&) = delete;
    TBladeInterface& operator=(const TBladeInterface&) = delete;

    // PCM bytes one EncodeChunk takes at most.
    int ChunkBytes() const { return ChunkBytes_; }
    // Bytes every output buffer must hold.
    int OutBufferSize() const { return OutBufferSize_; }
    bool StreamOpen() const { return EncoderStream != 0; }

    // Encodes `bytes` bytes of 16-bit interleaved PCM (at most ChunkBytes, may be 0) into
    // `output`; returns the bytes produced, 0 also when the library failed (the chunk is lost).
    int EncodeChunk(const std::uint8_t* input, int bytes, std::uint8_t* output);
    // With `output`, takes the encoder's last bytes into it; then closes the stream. Returns the
    // bytes placed in `output`; failures count as 0.
    int Finish(std::uint8_t* output);

    // MP3 stream over liblame_enc.so (rates in Hz, output 0 = same, bitrate in kbit/s).
    static std::unique_ptr<TBladeInterface> CreateMp3Encoder(int sampleRate, int outputSampleRate,
                                                             int bitrate, int channels);
    // Ogg Vorbis stream over libvorb_enc.so; `title` empty = none; `recordingTime` in days since
    // 30 December 1899, 0 = no date.
    static std::unique_ptr<TBladeInterface> CreateOggEncoder(int channels, int sampleRate,
                                                             int bitrate, const QString& title,
                                                             double recordingTime);

private:
    CodecLibrary library_;
    BeStream EncoderStream = 0;
    int ChunkBytes_ = 0;
    int OutBufferSize_ = 0;
    BeInitStreamFn beInitStream_ = nullptr;
    BeEncodeChunkFn beEncodeChunk_ = nullptr;
    BeDeinitStreamFn beDeinitStream_ = nullptr;
    BeCloseStreamFn beCloseStream_ = nullptr;
    BeVersionFn beVersion_ = nullptr;
};

#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "recording/TBaseWriter.h"

class TBladeInterface;

// Encodes PCM through a be- encoder in whole chunks of the size the library asks for and
// appends the encoded bytes. Destruction encodes the partial chunk, flushes the encoder and
// appends its last bytes.
class TBladeInterfaceWriter : public TBaseWriter {
public:
    // Takes ownership of `encoder`, which has an open stream.
    TBladeInterfaceWriter(int fileHandle, std::unique_ptr<TBladeInterface> encoder);
    ~TBladeInterfaceWriter() override;

    void Write(const std::uint8_t* buffer, int count) override;

private:
    std::unique_ptr<TBladeInterface> Encoder;
    std::vector<std::uint8_t> InBuffer;
    int Fill = 0;
    std::vector<std::uint8_t> OutBuffer;
};

// MP3 writer over liblame_enc.so (rates in Hz, output 0 = same as input, bitrate in kbit/s).
// Throws CodecError as TBladeInterface does.
std::unique_ptr<TBaseWriter> CreateMp3Writer(int fileHandle, int channels, int sampleRate,
                                             int outputSampleRate, int bitrate);
// Ogg Vorbis writer over libvorb_enc.so; `title` empty = none; `recordingTime` in days since
// 30 December 1899, 0 = no date. Throws CodecError as TBladeInterface does.
std::unique_ptr<TBaseWriter> CreateOggWriter(int fileHandle, int channels, int sampleRate,
                                             int bitrate, const QString& title,
                                             double recordingTime);

#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

class TBaseWriter;
class TMPEGDecoder;

// The RECODE mode's engine: reads MPEG audio from its input, decodes it to 16-bit PCM and writes
// it as "WAV", "MP3", "OGG" or "RAW" (headerless PCM; any other word means MP3) to its output.
// The stream's first four bytes choose the channels, sample rate and, without "/BITRATE", the
// encoder's bit rate. Single-threaded.
class TRecoderObject {
public:
    // `words` are the command-line words after the program path: "RECODE", the format, then
    // options read as NAME=VALUE ("/TITLE", "/TIMESTAMP", "/BITRATE", "/SAMPLERATE"), all
    // upper-cased. Throws CodecError when the decoder library is missing or refuses to start.
    explicit TRecoderObject(const QStringList& words, int inputHandle = 0, int outputHandle = 1);
    // Finishes the output (WAV sizes, encoder flush).
    ~TRecoderObject();
    TRecoderObject(const TRecoderObject&) = delete;
    TRecoderObject& operator=(const TRecoderObject&) = delete;

    // Steps until the input ends. Writer errors (CodecError) escape.
    void Run();
    // One read of up to 256 bytes, decoded and written; false at the end of input.
    bool Step();

    // kbit/s for the encoder when none is set: by MPEG version, layer and bit-rate index of a
    // frame header; 128 when the bytes do not start a frame.
    static int DefaultBitrate(const std::uint8_t* header);

    const QString& Format() const { return Format_; }
    const QStringList& Options() const { return Options_; }
    int Channels() const { return Channels_; }
    int SampleRate() const { return SampleRate_; }
    int Bitrate() const { return Bitrate_; }
    int OutputSampleRate() const { return OutputSampleRate_; }
    // The value of option `name` ("/TITLE"); empty when absent.
    QString Option(const QString& name) const;
    // "/TIMESTAMP" read back as days since 30 December 1899; 0 when it cannot be read.
    double RecordingTime() const;

private:
    void CreateWriter(const std::uint8_t* data, int count);
    void WritePcm(int produced);

    int InputHandle;
    int OutputHandle;
    std::unique_ptr<TMPEGDecoder> Decoder;
    std::unique_ptr<TBaseWriter> Writer;
    int Channels_ = 2;
    int SampleRate_ = 48000;
    int Bitrate_ = 0;
    int OutputSampleRate_ = 0;
    QString Format_;
    QStringList Options_;
    std::unique_ptr<std::uint8_t[]> Pcm;
};

// The RECODE mode: `arguments` is the whole command line as the system gives it (program path
// first, then "RECODE" and its words). Converts standard input to standard output and returns
// the exit status: 0, or 1 after an error (whose text goes to standard error).
int RunRecodeMode(const QStringList& arguments);
int RunRecodeMode(int argc, char** argv);

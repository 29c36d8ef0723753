#include "recording/TRecoderObject.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <exception>

#include "platform/Formats.h"
#include "recording/TBladeInterfaceWriter.h"
#include "recording/TMPEGDecoder.h"
#include "recording/TRawWriter.h"
#include "recording/TWaveWriter.h"

namespace {

constexpr int kReadBytes = 256;
constexpr int kPcmBytes = 8192;

bool StartsFrame(const std::uint8_t* header) {
    return header[0] == 0xFF && (header[1] & 0xE0) == 0xE0;
}

// Header version bits: 3 = MPEG-1, 2 = MPEG-2, 0 = MPEG-2.5, 1 reserved.
int VersionBits(const std::uint8_t* header) {
    return (header[1] >> 3) & 3;
}

// Header layer bits: 3 = Layer I, 2 = Layer II, 1 = Layer III, 0 reserved.
int LayerBits(const std::uint8_t* header) {
    return (header[1] >> 1) & 3;
}

int IntegerOrZero(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? value : 0;
}

}  // namespace

TRecoderObject::TRecoderObject(const QStringList& words, int inputHandle, int outputHandle)
    : InputHandle(inputHandle), OutputHandle(outputHandle) {
    for (qsizetype i = 2; i < words.size(); ++i) {
        Options_.append(words[i].toUpper());
    }
    Format_ = words.size() > 1 ? words[1].toUpper() : QString();
    Bitrate_ = IntegerOrZero(Option(QStringLiteral("/BITRATE")));
    OutputSampleRate_ = IntegerOrZero(Option(QStringLiteral("/SAMPLERATE")));
    Decoder = std::make_unique<TMPEGDecoder>();
    Pcm = std::make_unique<std::uint8_t[]>(kPcmBytes);
}

TRecoderObject::~TRecoderObject() {
    Writer.reset();
    Decoder.reset();
}

QString TRecoderObject::Option(const QString& name) const {
    for (const QString& option : Options_) {
        const qsizetype equals = option.indexOf(u'=');
        if (equals >= 0 && option.left(equals) == name) {
            return option.mid(equals + 1);
        }
    }
    return QString();
}

double TRecoderObject::RecordingTime() const {
    const QString text = Option(QStringLiteral("/TIMESTAMP")).trimmed();
    if (text.isEmpty()) {
        return 0;
    }
    const qsizetype blank = text.indexOf(u' ');
    const auto date = ParseDate(blank < 0 ? text : text.left(blank));
    if (!date) {
        return 0;
    }
    QTime time(0, 0);
    if (blank >= 0) {
        const auto parsed = ParseTime(text.mid(blank + 1).trimmed());
        if (!parsed) {
            return 0;
        }
        time = *parsed;
    }
    return DateTimeToDays(QDateTime(*date, time));
}

void TRecoderObject::Run() {
    Writer.reset();
    while (Step()) {
    }
}

bool TRecoderObject::Step() {
    std::uint8_t input[kReadBytes];
    ssize_t got = 0;
    do {
        got = ::read(InputHandle, input, sizeof input);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        // The decoder may still hold audio of the last frames.
        if (Writer) {
            WritePcm(Decoder->Decode(nullptr, 0, Pcm.get(), kPcmBytes));
        }
        return false;
    }
    if (!Writer) {
        CreateWriter(input, static_cast<int>(got));
    }
    WritePcm(Decoder->Decode(input, static_cast<int>(got), Pcm.get(), kPcmBytes));
    return true;
}

void TRecoderObject::WritePcm(int produced) {
    // One read can complete more audio than the buffer takes (and a low bit rate puts several
    // frames in 256 bytes): take everything the decoder has before the next read.
    while (produced > 0) {
        Writer->Write(Pcm.get(), produced);
        produced = Decoder->Decode(nullptr, 0, Pcm.get(), kPcmBytes);
    }
}

void TRecoderObject::CreateWriter(const std::uint8_t* data, int count) {
    if (count >= 4 && StartsFrame(data)) {
        Channels_ = (data[3] >> 6) == 3 ? 1 : 2;
        const int rateIndex = (data[2] >> 2) & 3;
        static constexpr int kRates[3][3] = {
            {44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
        const int version = VersionBits(data);
        const int row = version == 3 ? 0 : version == 2 ? 1 : version == 0 ? 2 : -1;
        if (row >= 0 && rateIndex < 3) {
            SampleRate_ = kRates[row][rateIndex];
        }
    }
    if (Bitrate_ == 0) {
        const std::uint8_t none[4] = {0, 0, 0, 0};
        Bitrate_ = DefaultBitrate(count >= 4 ? data : none);
    }
    if (Format_ == QStringLiteral("WAV")) {
        Writer = std::make_unique<TWaveWriter>(OutputHandle, SampleRate_, Channels_);
    } else if (Format_ == QStringLiteral("OGG")) {
        Writer = CreateOggWriter(OutputHandle, Channels_, SampleRate_, Bitrate_,
                                 Option(QStringLiteral("/TITLE")), RecordingTime());
    } else if (Format_ == QStringLiteral("RAW")) {
        Writer = std::make_unique<TRawWriter>(OutputHandle);
    } else {
        Writer = CreateMp3Writer(OutputHandle, Channels_, SampleRate_, OutputSampleRate_, Bitrate_);
    }
}

int TRecoderObject::DefaultBitrate(const std::uint8_t* header) {
    if (!StartsFrame(header)) {
        return 128;
    }
    static constexpr int kTable[7][15] = {
        // MPEG-1 Layer I, II, III
        {96, 32, 40, 64, 96, 96, 128, 128, 128, 128, 128, 128, 128, 128, 128},
        {96, 32, 32, 40, 40, 56, 64, 80, 96, 96, 128, 128, 128, 128, 128},
        {96, 32, 32, 32, 40, 40, 64, 64, 80, 96, 96, 128, 128, 128, 128},
        // MPEG-2 Layer I, II, III
        {96, 32, 32, 40, 40, 56, 64, 64, 96, 96, 96, 96, 128, 128, 128},
        {96, 32, 32, 32, 32, 32, 32, 40, 40, 56, 64, 64, 96, 96, 96},
        {96, 32, 32, 32, 32, 32, 32, 40, 40, 56, 64, 64, 85, 96, 96},
        // MPEG-2.5, any layer
        {96, 96, 96, 96, 96, 96, 96, 96, 96, 96, 96, 96, 96, 96, 96},
    };
    const int version = VersionBits(header);
    const int layerBits = LayerBits(header);
    const int index = header[2] >> 4;
    if (version == 1 || layerBits == 0 || index == 15) {
        return 96;
    }
    const int layer = 3 - layerBits;  // 0 = Layer I, 1 = II, 2 = III
    const int row = version == 3 ? layer : version == 2 ? 3 + layer : 6;
    return kTable[row][index];
}

int RunRecodeMode(const QStringList& arguments) {
    try {
        TRecoderObject recoder(arguments.mid(1));
        recoder.Run();
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "Recode failed.\n");
    }
    return 1;
}

int RunRecodeMode(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    return RunRecodeMode(arguments);
}

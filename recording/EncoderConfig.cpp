#include "recording/EncoderConfig.h"

#include <QLocale>
#include <cstring>

#include "platform/Formats.h"

BeMp3Config MakeMp3Config(int sampleRate, int outputSampleRate, int bitrate, int channels) {
    BeMp3Config record;
    std::memset(&record, 0, sizeof record);
    record.Config = BeConfigMp3;
    record.StructVersion = 1;
    record.StructSize = sizeof(BeMp3Config);
    record.SampleRate = static_cast<std::uint32_t>(sampleRate);
    record.ReSampleRate = static_cast<std::uint32_t>(outputSampleRate);
    record.Mode = channels == 2 ? 0 : 3;
    record.Bitrate = static_cast<std::uint32_t>(bitrate);
    record.MaxBitrate = 320;
    record.Preset = 0;
    record.MpegVersion = 1;
    return record;
}

QString OggDateText(double recordingTime) {
    if (recordingTime == 0) {
        return {};
    }
    const QDateTime when = DaysToDateTime(recordingTime + 10.0 / 86400.0);
    if (!when.isValid()) {
        return {};
    }
    return QLocale::c().toString(when, QStringLiteral("H:mm dddd d MMMM yyyy"));
}

std::vector<std::uint8_t> MakeOggConfig(int channels, int sampleRate, int bitrate,
                                        const QString& title, double recordingTime) {
    BeOggConfig record;
    std::memset(&record, 0, sizeof record);
    record.Config = BeConfigOgg;
    record.StructVersion = 2;
    record.Channels = static_cast<std::uint32_t>(channels);
    record.SampleRate = static_cast<std::uint32_t>(sampleRate);
    record.MaxBitrate = -1;
    record.MinBitrate = -1;
    record.Bitrate = bitrate;

    std::vector<std::uint8_t> block(sizeof record);
    const auto appendText = [&block](const QString& text) -> std::uint32_t {
        if (text.isEmpty()) {
            return 0;
        }
        const QByteArray bytes = text.toUtf8();
        const auto distance = static_cast<std::uint32_t>(block.size());
        block.insert(block.end(), bytes.begin(), bytes.end());
        block.push_back(0);
        return distance;
    };
    record.Title = appendText(title);
    record.Date = appendText(OggDateText(recordingTime));
    std::memcpy(block.data(), &record, sizeof record);
    return block;
}

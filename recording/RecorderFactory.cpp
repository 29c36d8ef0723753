#include "recording/RecorderFactory.h"

#include <QFileInfo>

#include "recording/CodecAvailability.h"
#include "recording/TRecorderCache.h"
#include "recording/TRecorderMP2.h"
#include "recording/TRecorderRecode.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"

QString RecordingExtension(const QString& fileName) {
    return QFileInfo(fileName).suffix().toUpper().left(3);
}

std::unique_ptr<TRecorder> CreateRecorder(std::int32_t serviceId, const QString& fileName,
                                          const TServiceTablesWrapper& tables,
                                          const TSettingsWrapper& settings) {
    if (fileName.isEmpty()) {
        return std::make_unique<TRecorderCache>(serviceId, tables);
    }
    const QString extension = RecordingExtension(fileName);
    const bool recode = (extension == QStringLiteral("WAV") && WavAvailable()) ||
                        (extension == QStringLiteral("MP3") && Mp3Available()) ||
                        (extension == QStringLiteral("OGG") && OggAvailable());
    if (recode) {
        return std::make_unique<TRecorderRecode>(serviceId, tables, settings, fileName, extension);
    }
    return std::make_unique<TRecorderMP2>(serviceId, tables, fileName);
}

std::unique_ptr<TRecorder> CreateRecorder(std::int32_t serviceId, const QString& fileName) {
    return CreateRecorder(serviceId, fileName, *ServiceTables, *Settings);
}

QString BuildSaveFilter(const QString& extension, bool defaultFirst) {
    struct Entry {
        const char* extension;
        const char* text;
        bool (*offered)();
    };
    static constexpr Entry kEntries[] = {
        {"MP2", "MPEG Audio (Layer 2)|*.mp2", [] { return true; }},
        {"MP3", "MPEG Audio (Layer 3)|*.mp3", &Mp3Available},
        {"OGG", "Ogg Vorbis|*.ogg", &OggAvailable},
        {"WAV", "Windows PCM|*.wav", &WavAvailable},
    };
    const QString wanted = extension.toUpper();
    QString filter;
    for (const Entry& entry : kEntries) {
        if ((wanted == QLatin1String(entry.extension)) == defaultFirst && entry.offered()) {
            filter += u'|' + QLatin1String(entry.text);
        }
    }
    if (defaultFirst) {
        // No "|" before an empty rest: a filter ending in "|" would carry a broken pair.
        const QString rest = BuildSaveFilter(extension, false);
        if (!rest.isEmpty()) {
            filter += u'|' + rest;
        }
    }
    return filter.mid(1);
}

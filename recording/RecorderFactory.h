#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class TRecorder;
class TServiceTablesWrapper;
class TSettingsWrapper;

// A new, unattached recorder for a file: no name -> the caching recorder; extension WAV, MP3 or
// OGG with its codecs available -> a transcoding recorder; anything else -> the raw MPEG stream
// under the name given. The extension is upper-cased and cut to three characters. Main thread.
std::unique_ptr<TRecorder> CreateRecorder(std::int32_t serviceId, const QString& fileName,
                                          const TServiceTablesWrapper& tables,
                                          const TSettingsWrapper& settings);
// The same over the program's ServiceTables and Settings.
std::unique_ptr<TRecorder> CreateRecorder(std::int32_t serviceId, const QString& fileName);

// "WAV" for "x.wav", "WAV" for "x.wave", empty without extension.
QString RecordingExtension(const QString& fileName);

// The save dialog's filter: "Description|*.ext" pairs joined by "|", for the formats whose
// codecs are available. `defaultFirst` true: the entry of `extension` (any case) first, then the
// others; false: only the others.
QString BuildSaveFilter(const QString& extension, bool defaultFirst);

#pragma once

#include <QHash>
#include <QString>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class QThread;
class TRecorder;
class TRecorderHost;
class TServiceTablesWrapper;
class TSettingsWrapper;

// The interactive recordings started from the bar and the service list: at most one per
// service, started through the save dialog (audio is cached from the moment record is pressed)
// and stopped after a confirmation. Owns its recorders; the tuning controller only feeds them.
// Main thread only (debug builds assert it).
class TRecordManager {
public:
    // The collaborators are not owned and must outlive the manager; `host` is the tuning
    // controller, which feeds the recorders.
    TRecordManager(TRecorderHost& host, TServiceTablesWrapper& tables, TSettingsWrapper& settings);
    // Stops every recording, so each file is closed or converted.
    ~TRecordManager();
    TRecordManager(const TRecordManager&) = delete;
    TRecordManager& operator=(const TRecordManager&) = delete;

    bool IsRecording(std::int32_t serviceId) const;
    // The save dialog; the chosen full path, or empty when cancelled. Stores the chosen folder
    // as "SaveDir".
    QString ChooseRecordingFile(const QString& defaultName);
    // Stops a recording of the service first; the new recorder (owned by the manager) is handed
    // to the tuning controller. Receiver failures (ReceiverError) reach the caller.
    TRecorder* StartRecording(std::int32_t serviceId, const QString& fileName);
    // Starts caching at once, then asks for the file; cancelled or failed -> stopped again.
    void StartRecordingWithDialog(std::int32_t serviceId);
    // Takes the recorder back from the tuning controller and destroys it (closing its file),
    // also when the receiver fails to stop the capture (the failure then reaches the caller).
    void StopRecording(std::int32_t serviceId);
    // "Do you want to stop recording <name> now?" Yes -> StopRecording.
    void ConfirmStopRecording(std::int32_t serviceId);
    void ToggleRecording(std::int32_t serviceId);

    // The recorder of a service; null when not recording.
    TRecorder* Recorder(std::int32_t serviceId) const;
    int Count() const { return static_cast<int>(Recordings.size()); }

    // The service name reduced to a file name: 0-9, A-Z, a-z and blanks kept.
    static QString DefaultFileName(const QString& serviceName);

private:
    void AssertMainThread() const;
    std::size_t IndexOf(std::int32_t serviceId) const;

    TRecorderHost& host_;
    TServiceTablesWrapper& tables_;
    TSettingsWrapper& settings_;
    QThread* thread_;
    // Key: the recorder's ServiceID in decimal.
    std::vector<std::pair<QString, std::unique_ptr<TRecorder>>> Recordings;
    // Each recording's start number (grows with every start), by ServiceID: tells a recorder
    // from a later one that may sit at its address.
    std::uint64_t startCount_ = 0;
    QHash<std::int32_t, std::uint64_t> startNumbers_;
};

// The one instance of the running program (null in tests that build their own).
extern TRecordManager* RecordManager;

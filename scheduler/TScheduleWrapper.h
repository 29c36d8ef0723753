#pragma once

#include <QList>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "scheduler/TScheduleEvent.h"
#include "scheduler/TWakeupSink.h"

class TServiceTablesWrapper;

// The timed recordings, kept in "Schedule.csv" beside the service tables (UTF-8, CR LF lines).
// Several wrappers may exist at once; they share only the file, and each picks up the others'
// saves through LoadIfChanged. Not thread-safe: each wrapper belongs to the thread that uses it.
class TScheduleWrapper {
public:
    // Loads the file. `tables` and `wakeup` are not owned and must outlive the wrapper.
    explicit TScheduleWrapper(const TServiceTablesWrapper& tables,
                              TWakeupSink& wakeup = TWakeupSink::None());
    ~TScheduleWrapper();

    TScheduleWrapper(const TScheduleWrapper&) = delete;
    TScheduleWrapper& operator=(const TScheduleWrapper&) = delete;

    const QString& FilePath() const { return filePath_; }

    int Count() const;
    // Null when `index` is out of range. The wrapper keeps the event.
    TScheduleEvent* GetEvent(int index);
    const TScheduleEvent* GetEvent(int index) const;
    // Appends and keeps the event; notes its service for the file (see ResolveService).
    void AddEvent(std::unique_ptr<TScheduleEvent> event);
    // Unlinks the event and hands it to the caller; null when `index` is out of range.
    std::unique_ptr<TScheduleEvent> DeleteEvent(int index);
    void ClearEvents();

    // Reads the file when it changed since the last load (modification time to the nanosecond,
    // inode and size) or when the last load failed; otherwise looks the events' services up
    // again if the service tables changed. A missing or unreadable file leaves the events; a
    // failing line keeps the events before it and drops the rest.
    void LoadIfChanged();
    // Reads the file even when it is unchanged.
    void Reload();
    // Replaces the file atomically with the events in list order; false when it was not written.
    bool SaveFile();
    // Hands the wake-up sink one trigger per event, a minute before its start.
    void UpdateWakeupTask();
    // SaveFile, then UpdateWakeupTask; a failure of either is dropped without a word.
    void Save();
    // Orders the events by start minute, then date, then ServiceID (not chronologically).
    void SortEvents();

    // Each replaces `list`: the events starting at `minute` of the day of `date`; the one-off
    // events; the indexes of the one-offs dated before the day of `today`. All in list order;
    // the pointers are valid until the list changes.
    void GetEventsAt(QList<const TScheduleEvent*>& list, std::int32_t minute, double date) const;
    void GetOneOffEvents(QList<const TScheduleEvent*>& list) const;
    void GetPastEvents(QList<int>& list, double today) const;

private:
    struct FileStamp {
        std::int64_t seconds = 0;
        std::int64_t nanoseconds = 0;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t size = 0;
        bool operator==(const FileStamp&) const = default;
    };

    std::optional<FileStamp> ReadStamp() const;
    // Replaces the events with the file's; false when the file could not be read or a line failed.
    bool LoadFile();

    const TServiceTablesWrapper& tables_;
    TWakeupSink& wakeup_;
    QString filePath_;
    std::vector<std::unique_ptr<TScheduleEvent>> events_;
    // The file as last loaded completely; empty before that and after Reload.
    std::optional<FileStamp> loadedStamp_;
    // The tables' change count the events' services were last looked up at.
    std::uint64_t tablesChange_ = 0;
};

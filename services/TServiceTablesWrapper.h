#pragma once

#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <optional>
#include <shared_mutex>

#include "services/TEnsembleRecord.h"
#include "services/TListEntry.h"
#include "services/TServiceRecord.h"

class Dialogs;

struct TServiceKeyParts {
    std::uint32_t SId = 0;
    std::int32_t Secondary = 0;
    bool operator==(const TServiceKeyParts&) const = default;
};

// Every service and ensemble frequency the receiver has reported, kept across runs in
// "Services.csv" and "Ensemble.csv" in `folder`. Changes happen on the main thread only; any
// thread may call the lookups, key operations, display lists and the Write* operations: a
// reader/writer lock guards the two lists.
class TServiceTablesWrapper {
public:
    // Loads the tables from `folder` (seeding the UK channels when no ensemble is known).
    // `dialogs` reports save failures; not owned, must outlive the tables.
    TServiceTablesWrapper(QString folder, Dialogs& dialogs);
    // Saves the tables.
    ~TServiceTablesWrapper();

    TServiceTablesWrapper(const TServiceTablesWrapper&) = delete;
    TServiceTablesWrapper& operator=(const TServiceTablesWrapper&) = delete;

    const QString& Folder() const { return folder_; }

    // Table maintenance (main thread).
    void LoadTables();
    void SaveTables();
    void WriteServices(QIODevice& stream) const;
    void WriteEnsembles(QIODevice& stream) const;
    std::int32_t AddService(std::uint32_t sid, std::int32_t secondary, const QString& label,
                            QChar kind, std::int32_t programmeType, double frequency);
    void AddEnsemble(const QString& channel, std::int32_t state, const QString& label,
                     double frequency);
    std::int32_t AllocateSecondary(std::uint32_t sid, const QString& label, bool create);
    // Empties the service table (all kinds); ServiceIDs given out stay unused.
    void ClearServices();
    // Grows by at least one with every change of the service table (load, clear, a service added
    // or altered), so holders of ServiceIDs can tell when to look their services up again. Any
    // thread.
    std::uint64_t ChangeCount() const;
    // 0 = UK channels, 1 = Band III and L-Band, 2 = Canada; any other value empties the table.
    void BuildChannelTable(int set);

    // Lookups by ServiceID (any thread).
    QString GetServiceLabel(std::int32_t serviceId) const;
    QString GetServiceDisplayName(std::int32_t serviceId) const;
    QString GetComponentLabel(std::int32_t serviceId) const;
    std::uint32_t GetServiceSId(std::int32_t serviceId) const;
    std::int32_t GetServiceSecondary(std::int32_t serviceId) const;
    double GetServiceFrequency(std::int32_t serviceId) const;
    QChar GetServiceKind(std::int32_t serviceId) const;
    std::int32_t GetServiceProgrammeType(std::int32_t serviceId) const;
    QString GetServiceProgrammeTypeName(std::int32_t serviceId) const;
    QString GetServiceEnsembleLabel(std::int32_t serviceId) const;
    QString GetServiceChannel(std::int32_t serviceId) const;

    // Keys and identity (any thread).
    QString GetServiceKey(std::int32_t serviceId, bool hex, QChar separator) const;
    static TServiceKeyParts ParseServiceKey(const QString& key);
    std::int32_t FindServiceByKey(const QString& key) const;
    std::int32_t FindService(std::uint32_t sid, std::int32_t secondary) const;

    // Ensembles by frequency (MHz, compared exactly).
    QString GetEnsembleLabel(double frequency) const;
    QString GetChannelName(double frequency) const;
    void SetEnsembleLabel(const QString& label, double frequency);
    std::int32_t GetEnsembleState(double frequency) const;
    void SetEnsembleState(std::int32_t state, double frequency);

    // Display lists (any thread). Each replaces `list`.
    void ListServices(TListEntries& list, QChar kindFilter, bool withSecondary, int mode) const;
    void ListEnsembles(TListEntries& list, bool all, bool detailed) const;
    int CountServices(QChar kindFilter) const;

    // Snapshots for windows and the scan (any thread).
    QList<TServiceRecord> Services() const;
    QList<TEnsembleRecord> Ensembles() const;

private:
    // The *Locked helpers expect the caller to hold lock_ (shared or exclusive as they read or
    // change); they never take it themselves.
    int IndexOfServiceLocked(std::int32_t serviceId) const;
    int IndexOfPairLocked(std::uint32_t sid, std::int32_t secondary) const;
    std::int32_t FindServiceLocked(std::uint32_t sid, std::int32_t secondary) const;
    int IndexOfEnsembleLocked(double frequency) const;
    QString GetEnsembleLabelLocked(double frequency) const;
    QString GetChannelNameLocked(double frequency) const;
    std::int32_t AddServiceLocked(std::uint32_t sid, std::int32_t secondary, const QString& label,
                                  QChar kind, std::int32_t programmeType, double frequency);
    void AddEnsembleLocked(const QString& channel, std::int32_t state, const QString& label,
                           double frequency);
    void BuildChannelTableLocked(int set);
    QStringList ServiceLinesLocked() const;
    QStringList EnsembleLinesLocked() const;
    // The bytes of a table file; nullopt when missing or unreadable. A file with a line that
    // `isSoundLine` rejects, or that cannot be read at all, would lose data at the next save:
    // it is kept aside first (DamagedFile).
    std::optional<QByteArray> ReadTableFile(const QString& fileName,
                                            bool (*isSoundLine)(const QString&));
    // Replaces one table file atomically; false when it could not be written.
    bool WriteTableFile(const QString& fileName, QStringList lines) const;

    QString folder_;
    Dialogs& dialogs_;
    mutable std::shared_mutex lock_;
    QList<TServiceRecord> services_;
    QList<TEnsembleRecord> ensembles_;
    std::int32_t nextServiceId_ = 1;
    std::atomic<std::uint64_t> changeCount_{0};
    mutable std::atomic<int> lastFoundIndex_{-1};
};

// The one instance of the running program (null in tests that build their own).
extern TServiceTablesWrapper* ServiceTables;

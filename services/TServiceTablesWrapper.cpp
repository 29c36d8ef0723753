#include "services/TServiceTablesWrapper.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <mutex>
#include <optional>

#include "platform/Dialogs.h"
#include "platform/Formats.h"
#include "services/ChannelTable.h"
#include "services/CsvFields.h"
#include "services/DamagedFile.h"
#include "services/ProgrammeTypes.h"

TServiceTablesWrapper* ServiceTables = nullptr;

namespace {

const QString kServicesFile = QStringLiteral("Services.csv");
const QString kEnsembleFile = QStringLiteral("Ensemble.csv");
const QString kSaveError = QStringLiteral("An error occurred when saving the service list.");

constexpr QChar kBlank = u' ';

using ReadLock = std::shared_lock<std::shared_mutex>;
using WriteLock = std::unique_lock<std::shared_mutex>;

// Lines the writer would write back unchanged: nothing in them is lost by a lenient read.
bool IsSoundServiceLine(const QString& line) {
    if (line.isEmpty()) {
        return true;
    }
    const QStringList f = SplitFields(line, 6);
    return IsWrittenLine(line, 6) && IsIntegerField(f[0]) && IsIntegerField(f[1]) &&
           !std::isnan(ParseFloatDef(f[2], NAN)) && IsIntegerField(f[5]);
}

bool IsSoundEnsembleLine(const QString& line) {
    if (line.isEmpty()) {
        return true;
    }
    const QStringList f = SplitFields(line, 4);
    return IsWrittenLine(line, 4) && !std::isnan(ParseFloatDef(f[0], NAN)) && IsIntegerField(f[2]);
}

QString HexSId(std::uint32_t sid) {
    return QLatin1Char('$') + QString::number(sid, 16).toUpper().rightJustified(4, u'0');
}

QString KeyOf(std::uint32_t sid, std::int32_t secondary, bool hex, QChar separator) {
    QString key = hex ? HexSId(sid) : QString::number(sid);
    if (secondary != 0) {
        key += separator + QString::number(secondary);
    }
    return key;
}

// Case-insensitive order; lines equal but for case keep a fixed order so saves are repeatable.
bool TextLess(const QString& a, const QString& b) {
    const int c = QString::compare(a, b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

// The frequency in kHz as a list object; 0 (never listed) when it cannot be represented.
std::int64_t KiloHertz(double frequency) {
    const double khz = std::round(frequency * 1000.0);
    if (!(std::fabs(khz) < 9.0e18)) {
        return 0;
    }
    return static_cast<std::int64_t>(khz);
}

void SortByText(TListEntries& list) {
    std::stable_sort(list.begin(), list.end(), [](const TListEntry& a, const TListEntry& b) {
        return QString::compare(a.Text, b.Text, Qt::CaseInsensitive) < 0;
    });
}

}  // namespace

TServiceTablesWrapper::TServiceTablesWrapper(QString folder, Dialogs& dialogs)
    : folder_(std::move(folder)), dialogs_(dialogs) {
    LoadTables();
    WriteLock lock(lock_);
    if (ensembles_.isEmpty()) {
        BuildChannelTableLocked(ChannelSetUK);
    }
}

TServiceTablesWrapper::~TServiceTablesWrapper() {
    SaveTables();
}

// ---- Table maintenance ----------------------------------------------------------------------

void TServiceTablesWrapper::LoadTables() {
    // Read the files before taking the lock so that readers wait only for the parsing.
    const auto servicesText = ReadTableFile(kServicesFile, IsSoundServiceLine);
    const auto ensemblesText = ReadTableFile(kEnsembleFile, IsSoundEnsembleLine);

    WriteLock lock(lock_);
    services_.clear();
    lastFoundIndex_.store(-1);
    changeCount_.fetch_add(1);
    if (servicesText) {
        for (const QString& line : SplitLines(*servicesText)) {
            const QStringList f = SplitFields(line, 6);
            AddServiceLocked(ParseUInt32Field(f[0]), ParseInt32Field(f[1]), f[3],
                             (f[4] + kBlank).at(0), ParseInt32Field(f[5]), ParseFloatDef(f[2], 0));
        }
    }
    ensembles_.clear();
    if (ensemblesText) {
        for (const QString& line : SplitLines(*ensemblesText)) {
            const QStringList f = SplitFields(line, 4);
            AddEnsembleLocked(f[1], ParseInt32Field(f[2]), f[3], ParseFloatDef(f[0], 0));
        }
    }
}

std::optional<QByteArray> TServiceTablesWrapper::ReadTableFile(
    const QString& fileName, bool (*isSoundLine)(const QString&)) {
    const QString path = folder_ + u'/' + fileName;
    QFile file(path);
    if (!file.exists()) {
        return std::nullopt;
    }
    std::optional<QByteArray> bytes;
    if (file.open(QIODevice::ReadOnly)) {
        bytes = file.readAll();
        const QStringList lines = SplitLines(*bytes);
        if (std::all_of(lines.cbegin(), lines.cend(), isSoundLine)) {
            return bytes;
        }
    }
    // The next save replaces the file with what could be read of it: keep it first.
    DamagedFile::Keep(path, bytes.has_value(), dialogs_);
    return bytes;
}

void TServiceTablesWrapper::ClearServices() {
    WriteLock lock(lock_);
    services_.clear();
    lastFoundIndex_.store(-1);
    changeCount_.fetch_add(1);
}

std::uint64_t TServiceTablesWrapper::ChangeCount() const {
    return changeCount_.load();
}

void TServiceTablesWrapper::SaveTables() {
    QStringList serviceLines;
    QStringList ensembleLines;
    {
        ReadLock lock(lock_);
        serviceLines = ServiceLinesLocked();
        ensembleLines = EnsembleLinesLocked();
    }
    // Each file on its own: a failure on one still lets the other be written.
    if (!WriteTableFile(kServicesFile, std::move(serviceLines))) {
        dialogs_.MessageBox(DialogKind::Error, kSaveError, DialogButtons::Abort);
    }
    if (!WriteTableFile(kEnsembleFile, std::move(ensembleLines))) {
        dialogs_.MessageBox(DialogKind::Error, kSaveError, DialogButtons::Abort);
    }
}

bool TServiceTablesWrapper::WriteTableFile(const QString& fileName, QStringList lines) const {
    std::stable_sort(lines.begin(), lines.end(), TextLess);
    QSaveFile file(folder_ + u'/' + fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QByteArray bytes = JoinLines(lines);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void TServiceTablesWrapper::WriteServices(QIODevice& stream) const {
    QStringList lines;
    {
        ReadLock lock(lock_);
        lines = ServiceLinesLocked();
    }
    stream.write(JoinLines(lines));
}

void TServiceTablesWrapper::WriteEnsembles(QIODevice& stream) const {
    QStringList lines;
    {
        ReadLock lock(lock_);
        lines = EnsembleLinesLocked();
    }
    stream.write(JoinLines(lines));
}

QStringList TServiceTablesWrapper::ServiceLinesLocked() const {
    QStringList lines;
    lines.reserve(services_.size());
    for (const TServiceRecord& r : services_) {
        lines.append(
            JoinFields({HexSId(r.SId), QString::number(r.Secondary), FormatFloat(r.Frequency),
                        r.Label, QString(r.Kind), QString::number(r.ProgrammeType)}));
    }
    return lines;
}

QStringList TServiceTablesWrapper::EnsembleLinesLocked() const {
    QStringList lines;
    lines.reserve(ensembles_.size());
    for (const TEnsembleRecord& e : ensembles_) {
        lines.append(
            JoinFields({FormatFloat(e.Frequency), e.Channel, QString::number(e.State), e.Label}));
    }
    return lines;
}

std::int32_t TServiceTablesWrapper::AddService(std::uint32_t sid, std::int32_t secondary,
                                               const QString& label, QChar kind,
                                               std::int32_t programmeType, double frequency) {
    WriteLock lock(lock_);
    return AddServiceLocked(sid, secondary, label, kind, programmeType, frequency);
}

std::int32_t TServiceTablesWrapper::AddServiceLocked(std::uint32_t sid, std::int32_t secondary,
                                                     const QString& label, QChar kind,
                                                     std::int32_t programmeType, double frequency) {
    int index = IndexOfPairLocked(sid, secondary);
    const bool created = index < 0;
    if (created) {
        TServiceRecord record;
        record.ServiceID = nextServiceId_++;
        record.SId = sid;
        record.Secondary = secondary;
        record.Frequency = frequency;
        services_.append(record);
        index = static_cast<int>(services_.size() - 1);
    }
    TServiceRecord& record = services_[index];
    const TServiceRecord before = record;
    if (!label.isEmpty()) {
        record.Label = label;
    }
    if (kind != kBlank && !kind.isNull()) {
        record.Kind = kind;
    }
    if (programmeType != 0) {
        record.ProgrammeType = programmeType;
    }
    if (created || record.Label != before.Label || record.Kind != before.Kind ||
        record.ProgrammeType != before.ProgrammeType) {
        changeCount_.fetch_add(1);
    }
    return record.ServiceID;
}

void TServiceTablesWrapper::AddEnsemble(const QString& channel, std::int32_t state,
                                        const QString& label, double frequency) {
    WriteLock lock(lock_);
    AddEnsembleLocked(channel, state, label, frequency);
}

void TServiceTablesWrapper::AddEnsembleLocked(const QString& channel, std::int32_t state,
                                              const QString& label, double frequency) {
    ensembles_.removeIf([frequency](const TEnsembleRecord& e) { return e.Frequency == frequency; });
    ensembles_.append(TEnsembleRecord{frequency, channel, state, label});
}

std::int32_t TServiceTablesWrapper::AllocateSecondary(std::uint32_t sid, const QString& label,
                                                      bool create) {
    ReadLock lock(lock_);
    for (qsizetype i = services_.size() - 1; i >= 0; --i) {
        const TServiceRecord& r = services_[i];
        if (r.SId == sid && r.Label == label) {
            return r.Secondary;
        }
    }
    if (!create) {
        return -1;
    }
    std::int32_t highest = 0;
    for (const TServiceRecord& r : services_) {
        if (r.SId == sid && r.Secondary > highest) {
            highest = r.Secondary;
        }
    }
    return highest >= 1 ? highest + 1 : 128;
}

void TServiceTablesWrapper::BuildChannelTable(int set) {
    WriteLock lock(lock_);
    BuildChannelTableLocked(set);
}

void TServiceTablesWrapper::BuildChannelTableLocked(int set) {
    ensembles_.clear();
    for (const TBuiltInChannel& c : ChannelSetChannels(set)) {
        ensembles_.append(TEnsembleRecord{c.Frequency, QString::fromLatin1(c.Name), 2, QString()});
    }
}

// ---- Lookups by ServiceID -------------------------------------------------------------------

int TServiceTablesWrapper::IndexOfServiceLocked(std::int32_t serviceId) const {
    const int last = lastFoundIndex_.load(std::memory_order_relaxed);
    if (last >= 0 && last < services_.size() && services_[last].ServiceID == serviceId) {
        return last;
    }
    for (qsizetype i = 0; i < services_.size(); ++i) {
        if (services_[i].ServiceID == serviceId) {
            lastFoundIndex_.store(static_cast<int>(i), std::memory_order_relaxed);
            return static_cast<int>(i);
        }
    }
    return -1;
}

QString TServiceTablesWrapper::GetServiceLabel(std::int32_t serviceId) const {
    ReadLock lock(lock_);
    const int i = IndexOfServiceLocked(serviceId);
    return i < 0 ? QString() : services_[i].Label;
}

QString TServiceTablesWrapper::GetServiceDisplayName(std::int32_t serviceId) const {
    ReadLock lock(lock_);
    const int i = IndexOfServiceLocked(serviceId);
    if (i < 0) {
        return {};
    }
    const TServiceRecord& r = services_[i];
    if (r.Secondary <= 0) {
        return r.Label;
    }
    const int primary = IndexOfServiceLocked(FindServiceLocked(r.SId, 0));
    const QString primaryLabel = primary < 0 ? QString() : services_[primary].Label;
    return r.Label + QStringLiteral(" (") + primaryLabel + QStringLiteral(" secondary)");
}

QString TServiceTablesWrapper::GetComponentLabel(std::int32_t serviceId) const {
    ReadLock lock(lock_);
    const int i = IndexOfServiceLocked(serviceId);
    return i < 0 || services_[i].Secondary == 0 ? QString() : services_[i].Label;
}

std::uint32_t TServiceTablesWrapper::GetServiceSId(std::int32_t serviceId) const {
    ReadLock lock(lock_);
    const int i = IndexOfServiceLocked(serviceId);
    return i < 0 ? 0 : services_[i].SId;
}

std::int32_t TServiceTablesWrapper::GetServiceSecondary(std::int32_t serviceId) const {
    ReadLock lock(lock_);
    const int i = IndexOfServiceLocked(serviceId);
    return i < 0 ? 0 : services_[i].Secondary;
}

double TServiceTablesWrapper::GetServiceFrequency(std::int32_t serviceId) const {
    ReadLock lock(lock_);
    const int i = IndexOfServiceLocked(serviceId);
    return i < 0 ? 0 : services_[i].Frequency;
}

QChar TServiceTablesWrapper::GetServiceKind(std::int32_t serviceId) const {
    ReadLock lock(lock_);
    const int i = IndexOfServiceLocked(serviceId);
    return i < 0 ? kBlank : services_[i].Kind;
}

std::int32_t TServiceTablesWrapper::GetServiceProgrammeType(std::int32_t serviceId) const {
    ReadLock lock(lock_);
    const int i = IndexOfServiceLocked(serviceId);
    return i < 0 ? 0 : services_[i].ProgrammeType;
}

QString TServiceTablesWrapper::GetServiceProgrammeTypeName(std::int32_t serviceId) const {
    return GetProgrammeTypeName(GetServiceProgrammeType(serviceId));
}

QString TServiceTablesWrapper::GetServiceEnsembleLabel(std::int32_t serviceId) const {
    ReadLock lock(lock_);
    const int i = IndexOfServiceLocked(serviceId);
    return GetEnsembleLabelLocked(i < 0 ? 0.0 : services_[i].Frequency);
}

QString TServiceTablesWrapper::GetServiceChannel(std::int32_t serviceId) const {
    ReadLock lock(lock_);
    const int i = IndexOfServiceLocked(serviceId);
    return GetChannelNameLocked(i < 0 ? 0.0 : services_[i].Frequency);
}

// ---- Keys and identity ----------------------------------------------------------------------

QString TServiceTablesWrapper::GetServiceKey(std::int32_t serviceId, bool hex,
                                             QChar separator) const {
    ReadLock lock(lock_);
    const int i = IndexOfServiceLocked(serviceId);
    if (i < 0) {
        return KeyOf(0, 0, hex, separator);
    }
    return KeyOf(services_[i].SId, services_[i].Secondary, hex, separator);
}

TServiceKeyParts TServiceTablesWrapper::ParseServiceKey(const QString& key) {
    for (const QChar separator : {u':', u'_', u'.', u'-', u'/', u'\\'}) {
        const qsizetype at = key.indexOf(separator);
        if (at >= 0) {
            return {ParseUInt32Field(key.left(at)), ParseInt32Field(key.mid(at + 1))};
        }
    }
    return {ParseUInt32Field(key), 0};
}

std::int32_t TServiceTablesWrapper::FindServiceByKey(const QString& key) const {
    const TServiceKeyParts parts = ParseServiceKey(key);
    return FindService(parts.SId, parts.Secondary);
}

std::int32_t TServiceTablesWrapper::FindService(std::uint32_t sid, std::int32_t secondary) const {
    ReadLock lock(lock_);
    return FindServiceLocked(sid, secondary);
}

int TServiceTablesWrapper::IndexOfPairLocked(std::uint32_t sid, std::int32_t secondary) const {
    for (qsizetype i = 0; i < services_.size(); ++i) {
        if (services_[i].SId == sid && services_[i].Secondary == secondary) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::int32_t TServiceTablesWrapper::FindServiceLocked(std::uint32_t sid,
                                                      std::int32_t secondary) const {
    if (sid == 0) {
        return 0;
    }
    const int i = IndexOfPairLocked(sid, secondary);
    if (i < 0) {
        return 0;
    }
    lastFoundIndex_.store(i, std::memory_order_relaxed);
    return services_[i].ServiceID;
}

// ---- Ensembles by frequency -----------------------------------------------------------------

int TServiceTablesWrapper::IndexOfEnsembleLocked(double frequency) const {
    if (frequency == 0) {
        return -1;
    }
    for (qsizetype i = 0; i < ensembles_.size(); ++i) {
        if (ensembles_[i].Frequency == frequency) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

QString TServiceTablesWrapper::GetEnsembleLabel(double frequency) const {
    ReadLock lock(lock_);
    return GetEnsembleLabelLocked(frequency);
}

QString TServiceTablesWrapper::GetEnsembleLabelLocked(double frequency) const {
    const int i = IndexOfEnsembleLocked(frequency);
    if (i >= 0 && !ensembles_[i].Label.isEmpty()) {
        return ensembles_[i].Label;
    }
    return GetChannelNameLocked(frequency);
}

QString TServiceTablesWrapper::GetChannelName(double frequency) const {
    ReadLock lock(lock_);
    return GetChannelNameLocked(frequency);
}

QString TServiceTablesWrapper::GetChannelNameLocked(double frequency) const {
    const int i = IndexOfEnsembleLocked(frequency);
    if (i >= 0 && !ensembles_[i].Channel.isEmpty()) {
        return ensembles_[i].Channel;
    }
    return FormatFloat(frequency) + QStringLiteral(" MHz");
}

void TServiceTablesWrapper::SetEnsembleLabel(const QString& label, double frequency) {
    if (frequency == 0 || label.isEmpty()) {
        return;
    }
    WriteLock lock(lock_);
    const int i = IndexOfEnsembleLocked(frequency);
    if (i >= 0) {
        ensembles_[i].Label = label;
    } else {
        ensembles_.append(TEnsembleRecord{frequency, QString(), 2, label});
    }
}

std::int32_t TServiceTablesWrapper::GetEnsembleState(double frequency) const {
    ReadLock lock(lock_);
    const int i = IndexOfEnsembleLocked(frequency);
    return i < 0 ? 0 : ensembles_[i].State;
}

void TServiceTablesWrapper::SetEnsembleState(std::int32_t state, double frequency) {
    if (frequency == 0) {
        return;
    }
    WriteLock lock(lock_);
    const int i = IndexOfEnsembleLocked(frequency);
    if (i >= 0) {
        ensembles_[i].State = state;
    } else {
        ensembles_.append(TEnsembleRecord{frequency, QString(), state, QString()});
    }
}

// ---- Display lists --------------------------------------------------------------------------

void TServiceTablesWrapper::ListServices(TListEntries& list, QChar kindFilter, bool withSecondary,
                                         int mode) const {
    list.clear();
    {
        ReadLock lock(lock_);
        for (const TServiceRecord& r : services_) {
            if (kindFilter != kBlank && r.Kind != kindFilter) {
                continue;
            }
            if (r.Secondary != 0 && !withSecondary) {
                continue;
            }
            QString text;
            switch (mode) {
                case 2:
                    text = GetProgrammeTypeName(r.ProgrammeType) + u',' + r.Label;
                    break;
                case 3:
                    text = GetEnsembleLabelLocked(r.Frequency) + u',' + r.Label;
                    break;
                default:
                    text = r.Label;
                    break;
            }
            list.append(TListEntry{text, r.ServiceID});
        }
    }
    SortByText(list);
}

void TServiceTablesWrapper::ListEnsembles(TListEntries& list, bool all, bool detailed) const {
    list.clear();
    ReadLock lock(lock_);
    for (const TEnsembleRecord& e : ensembles_) {
        if (e.State < 1 && !all) {
            continue;
        }
        const std::int64_t khz = KiloHertz(e.Frequency);
        if (khz == 0) {
            continue;
        }
        const QString frequencyText = FormatFloat(e.Frequency);
        QString text;
        if (detailed) {
            text = frequencyText.leftJustified(9, kBlank) + QStringLiteral("MHz");
            if (!e.Channel.isEmpty()) {
                text += kBlank + e.Channel;
            }
            if (!e.Label.isEmpty()) {
                text += QStringLiteral(" (") + e.Label + u')';
            }
        } else {
            text = e.Label.isEmpty() ? frequencyText + QStringLiteral(" MHz") : e.Label;
        }
        list.append(TListEntry{text, khz});
    }
}

int TServiceTablesWrapper::CountServices(QChar kindFilter) const {
    ReadLock lock(lock_);
    if (kindFilter == kBlank) {
        return static_cast<int>(services_.size());
    }
    return static_cast<int>(
        std::count_if(services_.begin(), services_.end(),
                      [kindFilter](const TServiceRecord& r) { return r.Kind == kindFilter; }));
}

QList<TServiceRecord> TServiceTablesWrapper::Services() const {
    ReadLock lock(lock_);
    return services_;
}

QList<TEnsembleRecord> TServiceTablesWrapper::Ensembles() const {
    ReadLock lock(lock_);
    return ensembles_;
}

#include "recording/TRecordManager.h"

#include <QFileInfo>
#include <QThread>

#include "platform/Dialogs.h"
#include "recording/RecorderFactory.h"
#include "recording/TRecorder.h"
#include "recording/TRecorderCache.h"
#include "recording/TRecorderHost.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"

TRecordManager* RecordManager = nullptr;

namespace {

QString KeyOf(std::int32_t serviceId) {
    return QString::number(serviceId);
}

}  // namespace

TRecordManager::TRecordManager(TRecorderHost& host, TServiceTablesWrapper& tables,
                               TSettingsWrapper& settings)
    : host_(host), tables_(tables), settings_(settings), thread_(QThread::currentThread()) {}

TRecordManager::~TRecordManager() {
    while (!Recordings.empty()) {
        const std::int32_t serviceId = Recordings.front().second->ServiceID();
        try {
            StopRecording(serviceId);
        } catch (...) {
            // The recorder is gone all the same; the others must still be closed.
        }
    }
}

void TRecordManager::AssertMainThread() const {
    Q_ASSERT(QThread::currentThread() == thread_);
}

std::size_t TRecordManager::IndexOf(std::int32_t serviceId) const {
    const QString key = KeyOf(serviceId);
    for (std::size_t i = 0; i < Recordings.size(); ++i) {
        if (Recordings[i].first == key) {
            return i;
        }
    }
    return Recordings.size();
}

bool TRecordManager::IsRecording(std::int32_t serviceId) const {
    AssertMainThread();
    return IndexOf(serviceId) < Recordings.size();
}

TRecorder* TRecordManager::Recorder(std::int32_t serviceId) const {
    AssertMainThread();
    const std::size_t i = IndexOf(serviceId);
    return i < Recordings.size() ? Recordings[i].second.get() : nullptr;
}

QString TRecordManager::ChooseRecordingFile(const QString& defaultName) {
    AssertMainThread();
    const QString extension = settings_.ReadString(Setting::DefaultExtension);
    SaveFileRequest request;
    request.filter = BuildSaveFilter(extension, true);
    request.defaultExtension = extension.isEmpty() ? QStringLiteral("MP2") : extension;
    request.fileName = defaultName;
    request.initialDir = settings_.ReadString(Setting::SaveDir);
    const std::optional<SaveFileAnswer> answer = Dialogs::Instance().SaveFile(request);
    if (!answer || answer->path.isEmpty()) {
        return QString();
    }
    const QString folder = QFileInfo(answer->path).absolutePath();
    settings_.WriteString(Setting::SaveDir, folder.endsWith(u'/') ? folder : folder + u'/');
    return answer->path;
}

TRecorder* TRecordManager::StartRecording(std::int32_t serviceId, const QString& fileName) {
    AssertMainThread();
    StopRecording(serviceId);
    Recordings.emplace_back(KeyOf(serviceId),
                            CreateRecorder(serviceId, fileName, tables_, settings_));
    startNumbers_.insert(serviceId, ++startCount_);
    TRecorder* recorder = Recordings.back().second.get();
    host_.AddRecorder(recorder);
    return recorder;
}

void TRecordManager::StartRecordingWithDialog(std::int32_t serviceId) {
    AssertMainThread();
    if (serviceId == 0) {
        return;
    }
    auto* cache = dynamic_cast<TRecorderCache*>(StartRecording(serviceId, QString()));
    const std::uint64_t started = startNumbers_.value(serviceId);
    try {
        const QString fileName =
            ChooseRecordingFile(DefaultFileName(tables_.GetServiceLabel(serviceId)));
        // The dialog runs an event loop: the recording may have been stopped, or replaced by
        // another one, meanwhile. Only the cache started here may be given the file, and
        // whatever replaced it is not ours to stop.
        if (startNumbers_.value(serviceId) != started || Recorder(serviceId) != cache) {
            return;
        }
        if (fileName.isEmpty() || !cache) {
            StopRecording(serviceId);
            return;
        }
        cache->SetTarget(CreateRecorder(serviceId, fileName, tables_, settings_));
    } catch (...) {
        try {
            StopRecording(serviceId);
        } catch (...) {
        }
    }
}

void TRecordManager::StopRecording(std::int32_t serviceId) {
    AssertMainThread();
    const std::size_t i = IndexOf(serviceId);
    if (i >= Recordings.size()) {
        return;
    }
    std::unique_ptr<TRecorder> recorder = std::move(Recordings[i].second);
    Recordings.erase(Recordings.begin() + static_cast<std::ptrdiff_t>(i));
    startNumbers_.remove(serviceId);
    // The controller has let go of the recorder even when the receiver fails: it is destroyed
    // either way as this returns or unwinds.
    host_.RemoveRecorder(recorder.get());
}

void TRecordManager::ConfirmStopRecording(std::int32_t serviceId) {
    AssertMainThread();
    if (serviceId == 0) {
        return;
    }
    const QString text = QStringLiteral("Do you want to stop recording ") +
                         tables_.GetServiceLabel(serviceId) + QStringLiteral(" now?");
    if (Dialogs::Instance().MessageBox(DialogKind::Confirmation, text, DialogButtons::YesNo) ==
        DialogResult::Yes) {
        StopRecording(serviceId);
    }
}

void TRecordManager::ToggleRecording(std::int32_t serviceId) {
    AssertMainThread();
    if (IsRecording(serviceId)) {
        ConfirmStopRecording(serviceId);
    } else {
        StartRecordingWithDialog(serviceId);
    }
}

QString TRecordManager::DefaultFileName(const QString& serviceName) {
    QString name;
    for (const QChar c : serviceName) {
        const char16_t u = c.unicode();
        if ((u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') ||
            u == u' ') {
            name += c;
        }
    }
    return name;
}

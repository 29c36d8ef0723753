#include "shell/TBarDisplay.h"

#include <QIcon>
#include <QPixmap>
#include <QThread>
#include <QWidget>
#include <exception>

#include "Version.h"
#include "receiver/TMainControl.h"
#include "services/TServiceTablesWrapper.h"
#include "services/TSettingsWrapper.h"
#include "shell/GuiImages.h"
#include "shell/TBarLayout.h"
#include "shell/TTrayIcon.h"
#include "windows/TServicePictures.h"

namespace {

// The service picture in the notification area.
constexpr int kTrayIconSize = 16;
// StreamInfoRecord::MusicSpeech.
constexpr int kMusic = 1;
constexpr int kSpeech = 2;

QString ProgramText() {
    return QStringLiteral("Tunora ") + QString::fromLatin1(TunoraVersion);
}

TBarLayout LayoutOf(const QWidget* window) {
    return TBarLayout(window->width(), window->height());
}

}  // namespace

TBarDisplay::~TBarDisplay() = default;

TBarDisplay::TBarDisplay(QWidget* window, TTrayIcon& tray, const TServiceTablesWrapper& tables,
                         const TSettingsWrapper& settings, TMainControl& control,
                         std::function<void()> resetLabel)
    : window_(window),
      tray_(tray),
      tables_(tables),
      settings_(settings),
      control_(control),
      resetLabel_(std::move(resetLabel)),
      serviceText_(ProgramText()),
      serviceLabel_(serviceText_),
      icon32_(ServicePicture(0, TBarLayout::kSizerSize)) {}

void TBarDisplay::ShowService(std::int32_t serviceId, bool tuning) {
    Q_ASSERT(QThread::currentThread() == window_->thread());
    shownService_ = serviceId;
    shownTuning_ = tuning;
    resetLabel_();
    if (serviceId != 0) {
        const QString label = tables_.GetServiceLabel(serviceId);
        SetServiceText(tuning ? QStringLiteral("Tuning to ") + label + QStringLiteral("...")
                              : label);
    } else {
        SetServiceText(QString());
    }
    UpdateServiceIcons(serviceId);
}

void TBarDisplay::SetServiceText(const QString& text) {
    if (!text.isEmpty()) {
        const QString caption = QStringLiteral("Tunora [") + text + u']';
        window_->setWindowTitle(caption);
        serviceText_ = text;
        tray_.SetTip(caption);
    } else {
        window_->setWindowTitle(QStringLiteral("Tunora"));
        serviceText_ = ProgramText();
        tray_.SetTip(QStringLiteral("Tunora"));
    }
    serviceLabel_ = serviceText_;
    window_->update();
    tray_.Refresh();
}

void TBarDisplay::UpdateServiceIcons(std::int32_t serviceId) {
    icon32_ = ServicePicture(serviceId, TBarLayout::kSizerSize);
    if (serviceId != 0 && settings_.ReadBool(Setting::ChangeTaskBarIcon)) {
        tray_.SetIcon(QIcon(QPixmap::fromImage(ServicePicture(serviceId, kTrayIconSize))));
    } else {
        tray_.SetIcon(GuiImages::MainIcon());
    }
    window_->update(LayoutOf(window_).GenreRect());
    tray_.Refresh();
}

void TBarDisplay::UpdateAudioInfo() {
    StreamInfoRecord info;
    try {
        info = control_.GetStreamInfo();
    } catch (const std::exception&) {
        // No information this tick.
    }
    QString text = serviceText_;
    if (info.Bitrate != 0) {
        text += QStringLiteral("   (") + QString::number(info.Bitrate) + QStringLiteral("Kbps") +
                (info.Stereo ? QStringLiteral(" Stereo") : QStringLiteral(" Mono"));
        if (info.MusicSpeech == kMusic) {
            text += QStringLiteral(" Music");
        } else if (info.MusicSpeech == kSpeech) {
            text += QStringLiteral(" Speech");
        }
        text += u')';
    }
    if (text != serviceLabel_) {
        serviceLabel_ = text;
        window_->update();
    }
}

void TBarDisplay::DropAudioInfo() {
    serviceLabel_ = serviceText_;
}

void TBarDisplay::FollowController() {
    const std::int32_t current = control_.CurrentService();
    const bool tuning = !control_.IsSettled();
    if (current != shownService_ || shownTuning_ != tuning) {
        ShowService(current, tuning);
    }
}

void TBarDisplay::ForgetShown() {
    shownService_ = 0;
    shownTuning_ = false;
}

void TBarDisplay::Tick() {
    Q_ASSERT(QThread::currentThread() == window_->thread());
    int level = 0;
    try {
        level = control_.SignalLevel();
    } catch (const std::exception&) {
        level = 0;
    }
    if (level != powerLevel_) {
        powerLevel_ = level;
        window_->update(LayoutOf(window_).MeterRect());
    }
    if (control_.AudioInfoEnabled()) {
        UpdateAudioInfo();
    }
    if (indicators_.Tick(control_.HasRecordings(), control_.HasStreams())) {
        window_->update(LayoutOf(window_).IndicatorRect());
    }
}

void TBarDisplay::ShowGenre(bool shown) {
    genreShown_ = shown;
}

TBarView TBarDisplay::View() const {
    return {genreShown_ ? icon32_ : QImage(), powerLevel_, serviceLabel_, indicators_.Record(),
            indicators_.Network()};
}

QImage TBarDisplay::ServicePicture(std::int32_t serviceId, int size) const {
    const std::optional<TIndexedBitmap> picture =
        TServicePictures::SharedOr(ownPictures_, tables_).LoadServicePicture(serviceId, size);
    return picture ? GuiImages::FromBitmap(*picture) : QImage();
}

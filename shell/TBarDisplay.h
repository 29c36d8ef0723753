#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "shell/TBarIndicators.h"
#include "shell/TBarPainter.h"

class QWidget;
class TMainControl;
class TServiceTablesWrapper;
class TSettingsWrapper;
class TServicePictures;
class TTrayIcon;

// What the bar shows of the tuning controller's state: the service's name or tuning text (with
// the audio information), the window caption, the tray tip and icon, the genre picture, the
// signal level and the record and stream signs. Main thread only.
class TBarDisplay {
public:
    // `window` and `tray` outlive this object; `resetLabel` empties the dynamic label area.
    TBarDisplay(QWidget* window, TTrayIcon& tray, const TServiceTablesWrapper& tables,
                const TSettingsWrapper& settings, TMainControl& control,
                std::function<void()> resetLabel);
    ~TBarDisplay();

    // Shows `serviceId` (0: nothing plays), with its tuning text while `tuning`.
    void ShowService(std::int32_t serviceId, bool tuning);
    // Caption, service label and tip for `text`; an empty text shows the program's name.
    void SetServiceText(const QString& text);
    void UpdateServiceIcons(std::int32_t serviceId);
    // The service label with the stream's bit rate and mode, when the stream reports them.
    void UpdateAudioInfo();
    // The service label without the audio information.
    void DropAudioInfo();
    // Shows the controller's current service when it or its tuning state changed.
    void FollowController();
    // The next FollowController shows the service again unless none plays.
    void ForgetShown();
    // One tick while the bar is shown: signal level, audio information and the signs.
    void Tick();
    // Hides the genre picture while the bar animates.
    void ShowGenre(bool shown);

    // What the painter draws.
    TBarView View() const;
    // The product picture for 0, else the service's own (branding) picture, else the picture of
    // its programme type.
    QImage ServicePicture(std::int32_t serviceId, int size) const;

    std::int32_t ShownService() const { return shownService_; }
    bool ShownTuning() const { return shownTuning_; }
    const QString& ServiceText() const { return serviceText_; }
    const QString& ServiceLabel() const { return serviceLabel_; }
    const QImage& Icon32Image() const { return icon32_; }
    int PowerLevel() const { return powerLevel_; }
    const TBarIndicators& Indicators() const { return indicators_; }

private:
    QWidget* window_;
    TTrayIcon& tray_;
    const TServiceTablesWrapper& tables_;
    const TSettingsWrapper& settings_;
    TMainControl& control_;
    std::function<void()> resetLabel_;
    // The pictures when the program has none of its own (tests); made on first use.
    mutable std::unique_ptr<TServicePictures> ownPictures_;

    std::int32_t shownService_ = 0;
    bool shownTuning_ = false;
    QString serviceText_;
    QString serviceLabel_;
    QImage icon32_;
    bool genreShown_ = true;
    // Signal level, 0 to 100.
    int powerLevel_ = 0;
    TBarIndicators indicators_;
};

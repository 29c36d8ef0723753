#pragma once

#include <QList>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "windows/TDesktopLauncher.h"
#include "windows/TServicePictures.h"

class QCheckBox;
class QComboBox;
class QKeySequenceEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class TServiceTablesWrapper;
class TSettingsWrapper;

// "Tunora - Service Properties": the identity of one service (General page) and a desktop
// launcher that starts the program playing it (Shortcut page). Several may be open; each frees
// itself when closed. The service's key and SId are taken when the window opens, so a rescan
// meanwhile cannot change what the launcher plays. Main thread only.
class TServicePropertiesForm : public QWidget {
    Q_OBJECT

public:
    // Creates and shows a window for `serviceId` (owned by `owner`); returns it.
    static TServicePropertiesForm* ShowProperties(std::int32_t serviceId,
                                                  TServiceTablesWrapper& tables,
                                                  TSettingsWrapper& settings, QWidget* owner);

    // "SCIdS n", with " (virtual)" from 16 up; "Primary service" for 0.
    static QString SecondaryText(std::int32_t secondary);

    // Creates the launcher at the chosen location (browsing when the location asks for it);
    // nothing when no folder was chosen. The written file's path, or empty.
    QString CreateButtonClick();

    std::int32_t ServiceId() const { return serviceId_; }
    const QList<TLauncherLocation>& Locations() const { return locations_; }

    QTabWidget* Pages;
    QLabel* IconImage1;
    QLineEdit* ServiceNameEdit1;
    QLineEdit* IDDecEdit;
    QLineEdit* IDHexEdit;
    QLineEdit* SecondaryEdit;
    QLineEdit* GenreEdit;
    QLineEdit* MultiplexEdit;
    QLineEdit* FreqEdit;
    QCheckBox* FavouriteCheckBox;
    QLabel* ExtendedInfoLabel;
    QLabel* IconImage2;
    QLineEdit* ServiceNameEdit2;
    QComboBox* ShortcutLocationComboBox;
    QKeySequenceEdit* ShortcutHotKey;
    QLineEdit* CommandLineEdit;
    QPushButton* CreateButton;
    QPushButton* CloseButton;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    TServicePropertiesForm(std::int32_t serviceId, TServiceTablesWrapper& tables,
                           TSettingsWrapper& settings, QWidget* owner);
    QWidget* MakeGeneralPage();
    QWidget* MakeShortcutPage();
    const TServicePictures& Pictures();

    TServiceTablesWrapper& tables_;
    std::unique_ptr<TServicePictures> ownPictures_;
    std::int32_t serviceId_;
    std::uint32_t sid_;
    QString key_;
    QList<TLauncherLocation> locations_;
};

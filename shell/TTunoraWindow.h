#pragma once

#include <QIcon>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "services/TListEntry.h"
#include "shell/TBarAnimator.h"
#include "shell/TBarCommands.h"
#include "shell/TBarDisplay.h"
#include "shell/TBarFrame.h"
#include "shell/TBarLayout.h"
#include "shell/TBarMenus.h"
#include "shell/TBarPainter.h"
#include "shell/TTrayIcon.h"

class HandOverServer;
class QAction;
class QMenu;
class TDSLCanvas;
class TDSLDrawer;
class TLogindPower;
class TMainControl;
class TServiceTablesWrapper;
class TSettingsWrapper;

// The bar: a small frameless always-on-top window (window class "TTunoraWindow") with the genre
// picture, signal meter, service name, scrolling dynamic label and the record and stream signs;
// the notification-area icon, the two popup menus and the keys. It answers the hand-over of later
// instances and reads the command line. It reaches the receiver only through the tuning
// controller, and the record manager through its global pointer (when one exists). Geometry,
// painting, frame dragging, menus, the tray icon, the animation, what it shows and the play
// commands are helpers of its own; the operations here hand over to them. Main thread only.
class TTunoraWindow : public QWidget {
    Q_OBJECT
public:
    using HitArea = TBarLayout::HitArea;
    static constexpr int kImageCount = TBarMenus::kImageCount;

    // `arguments`: this process's arguments without the launcher's show options, program first.
    // Creation ends with the empty-table question and the command line, as start-up expects.
    TTunoraWindow(TServiceTablesWrapper& tables, TSettingsWrapper& settings, TMainControl& control,
                  QStringList arguments, QWidget* parent = nullptr);
    // Stops the label thread, stores "Width", "Top" and "Left", stops playing, removes the icon.
    ~TTunoraWindow() override;

    // The hand-over message (TBarCommands::HandOverMessage), then the tray icon is refreshed.
    int HandOverMessage(int wParam, std::int64_t lParam, const QString& text);
    void ProcessCommandLine(const QString& text);

    void StartService(std::int32_t serviceId);
    void ShowService(std::int32_t serviceId, bool tuning);
    void SetServiceText(const QString& text);
    void UpdateServiceIcons(std::int32_t serviceId);
    void UpdateAudioInfo();
    void ApplyScrollSettings();
    // The options window's "settings changed" (message 1027).
    void SettingsChanged();

    void ExpandBar();
    void CollapseBar();
    // Opens a menu at a screen point; returns when it closes.
    void PopupMenuAt(int x, int y, bool quick);
    void BringBarToFront();
    void RefreshTrayIcon();
    void AddServiceItems(QMenu* parent, const TListEntries& list);
    void AddSeparatorItem(QMenu* parent);
    // The menu builders, run before each menu opens.
    void BuildMainMenu();
    void BuildQuickMenu();

    void TheTimerTimer();
    void TaskbarTimerTimer();
    // The notification-area icon's mouse message (TTrayIcon's codes); anything else is ignored.
    void TrayIconMessage(int mouseMessage);
    // A double-click at screen point `global`: offers the link under it, then the quick menu.
    void HyperlinkCheck(const QPoint& global);
    HitArea HitTest(const QPoint& client) const;
    // The answer to a suspend query: denied while anything plays, records, streams or scans, or
    // while timed recording is enabled.
    bool QuerySuspendDenied() const;
    // System suspend and resume.
    void PowerSuspend(bool suspending);

    // The one way out, once any question is answered (Exit, the close command, termination
    // signals): close the bar and end the message loop.
    void Quit();
    bool Terminating() const { return terminating_; }

    bool BarExpanded() const { return animator_.Expanded(); }
    bool MenuBusy() const { return menuBusy_; }
    std::int32_t ShownService() const { return display_.ShownService(); }
    bool ShownTuning() const { return display_.ShownTuning(); }
    int BlinkPhase() const { return display_.Indicators().Phase(); }
    const QString& ServiceText() const { return display_.ServiceText(); }
    const QString& ServiceLabel() const { return display_.ServiceLabel(); }
    const QString& TrayTip() const { return tray_.Tip(); }
    const QString& HyperlinkTarget() const { return hyperlinkTarget_; }
    bool RecordImageVisible() const { return display_.Indicators().Record(); }
    bool NetworkImageVisible() const { return display_.Indicators().Network(); }
    int PowerLevel() const { return display_.PowerLevel(); }
    QString PowerHint() const;
    const QIcon& TrayIcon() const { return tray_.Icon(); }
    const QImage& Icon32Image() const { return display_.Icon32Image(); }
    TDSLDrawer* LabelDrawer() const { return labelDrawer_.get(); }
    QTimer& TheTimer() { return theTimer_; }
    QTimer& TaskbarTimer() { return tray_.ClickTimer(); }
    QMenu* MainPopupMenu() const { return menus_.MainPopupMenu(); }
    QMenu* QuickPopupMenu() const { return menus_.QuickPopupMenu(); }
    QMenu* RecentMenu() const { return menus_.RecentMenu(); }
    QMenu* FavouriteMenu() const { return menus_.FavouriteMenu(); }
    // The label area (DSLImage) in client coordinates.
    QRect DSLImageRect() const;
    // Whether anybody can see the bar: a display (not the offscreen or minimal platform), the
    // bar shown and its window exposed. Otherwise the label does not scroll and nothing is
    // painted.
    bool CanBeSeen() const;
    // Overrides the platform's answer to "is there no display" (tests).
    void SetHeadless(bool headless);

    QAction* OptionsAction = nullptr;
    QAction* TimerAction = nullptr;
    QAction* ListAction = nullptr;
    QAction* ScanAction = nullptr;
    QAction* RecordAction = nullptr;
    QAction* QuietAction = nullptr;
    QAction* RestoreBarAction = nullptr;
    QAction* MinimizeBarAction = nullptr;
    QAction* ExitAction = nullptr;
    QAction* HyperlinkAction = nullptr;

Q_SIGNALS:
    void ServiceStarted(std::int32_t serviceId);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void CreateActions();
    // A new action with a menu image whose triggering runs `execute`.
    QAction* AddAction(const QString& caption, TBarMenus::MenuImage image, bool visible,
                       void (TTunoraWindow::*execute)());
    void OptionsActionExecute();
    void TimerActionExecute();
    void ListActionExecute();
    void ScanActionExecute();
    void RecordActionExecute();
    void QuietActionExecute();
    void RestoreBarActionExecute();
    void MinimizeBarActionExecute();
    void ExitActionExecute();
    void HyperlinkActionExecute();
    TBarLayout Layout() const;
    void ApplyShape();
    // Scrolls the label while the bar can be seen, and only then.
    void FollowVisibility();

    TServiceTablesWrapper& tables_;
    TSettingsWrapper& settings_;
    TMainControl& control_;
    QStringList arguments_;
    TBarCommands commands_;
    TBarPainter painter_;
    TBarFrame frame_;
    TBarAnimator animator_;
    TBarMenus menus_;
    TTrayIcon tray_;
    TBarDisplay display_;
    std::unique_ptr<HandOverServer> handOver_;
    std::unique_ptr<TDSLCanvas> labelCanvas_;
    std::unique_ptr<TDSLDrawer> labelDrawer_;
    TLogindPower* power_ = nullptr;
    QTimer theTimer_;

    bool headless_ = false;
    bool exposureWatched_ = false;
    bool menuBusy_ = false;
    bool terminating_ = false;
    QString hyperlinkTarget_;
};

extern TTunoraWindow* TunoraWindow;

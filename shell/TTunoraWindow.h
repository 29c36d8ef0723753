#pragma once

#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "services/TListEntry.h"

class HandOverServer;
class QAction;
class QMenu;
class QSystemTrayIcon;
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
// controller, and the record manager through its global pointer (when one exists).
// Main thread only.
class TTunoraWindow : public QWidget {
    Q_OBJECT
public:
    // Where a point of the client area acts like a window frame part.
    enum class HitArea { LeftEdge, MinimiseBox, Caption, RightEdge };

    // Indices of MasterImageList.
    static constexpr int kImageCount = 9;

    // `arguments`: this process's arguments without the launcher's show options, program first.
    // Creation ends with the empty-table question and the command line, as start-up expects.
    TTunoraWindow(TServiceTablesWrapper& tables, TSettingsWrapper& settings, TMainControl& control,
                  QStringList arguments, QWidget* parent = nullptr);
    // Stops the label thread, stores "Width", "Top" and "Left", stops playing, removes the icon.
    ~TTunoraWindow() override;

    // The hand-over message: 0 plays the primary service of SId `lParam`, 1 reads the command
    // line `text`, 2 answers "ServerPort"; anything else answers -1.
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
    // The notification-area icon's mouse message: 514 left up, 515 left double-click, 517 right
    // up; anything else is ignored.
    void TrayIconMessage(int mouseMessage);
    // A double-click at screen point `global`: offers the link under it, then the quick menu.
    void HyperlinkCheck(const QPoint& global);
    HitArea HitTest(const QPoint& client) const;
    // The answer to a suspend query: denied while anything plays, records, streams or scans, or
    // while timed recording is enabled.
    bool QuerySuspendDenied() const;
    // System suspend and resume.
    void PowerSuspend(bool suspending);

    // Exit without questions (termination signals): close the bar and end the message loop.
    void Terminate();
    bool Terminating() const { return terminating_; }

    bool BarExpanded() const { return barExpanded_; }
    bool MenuBusy() const { return menuBusy_; }
    std::int32_t ShownService() const { return shownService_; }
    bool ShownTuning() const { return shownTuning_; }
    int BlinkPhase() const { return blinkPhase_; }
    const QString& ServiceText() const { return serviceText_; }
    const QString& ServiceLabel() const { return serviceLabel_; }
    const QString& TrayTip() const { return trayTip_; }
    const QString& HyperlinkTarget() const { return hyperlinkTarget_; }
    bool RecordImageVisible() const { return recordVisible_; }
    bool NetworkImageVisible() const { return networkVisible_; }
    int PowerLevel() const { return powerLevel_; }
    QString PowerHint() const;
    const QIcon& TrayIcon() const { return trayIcon_; }
    const QImage& Icon32Image() const { return icon32_; }
    TDSLDrawer* LabelDrawer() const { return labelDrawer_.get(); }
    QTimer& TheTimer() { return theTimer_; }
    QTimer& TaskbarTimer() { return taskbarTimer_; }
    QMenu* MainPopupMenu() const { return mainPopupMenu_; }
    QMenu* QuickPopupMenu() const { return quickPopupMenu_; }
    QMenu* RecentMenu() const { return recentMenu_; }
    QMenu* FavouriteMenu() const { return favouriteMenu_; }
    // The label area (DSLImage) in client coordinates.
    QRect DSLImageRect() const;

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
    void CreateMenus();
    QAction* MakeAction(const QString& caption, int image, bool visible);
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
    bool IsRecording(std::int32_t serviceId) const;
    void ApplyShape();
    bool Animated() const;
    void AnimateWidth(int width);
    QImage ServicePicture(std::int32_t serviceId, int size) const;
    QRect MeterRect() const;
    QRect IndicatorRect() const;

    TServiceTablesWrapper& tables_;
    TSettingsWrapper& settings_;
    TMainControl& control_;
    QStringList arguments_;
    std::unique_ptr<HandOverServer> handOver_;
    std::unique_ptr<TDSLCanvas> labelCanvas_;
    std::unique_ptr<TDSLDrawer> labelDrawer_;
    TLogindPower* power_ = nullptr;

    QImage leftImage_;
    QImage middleImage_;
    QImage rightImage_;
    QImage icon32_;
    QImage recordImage_;
    QImage networkImage_;
    QList<QIcon> masterImageList_;
    QList<QIcon> dynamicImageList_;
    QCursor captionCursor_;
    QCursor reduceCursor_;

    QSystemTrayIcon* trayIconWidget_ = nullptr;
    QIcon trayIcon_;
    QString trayTip_ = QStringLiteral("Tunora");
    QMenu* mainPopupMenu_ = nullptr;
    QMenu* quickPopupMenu_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QMenu* favouriteMenu_ = nullptr;
    QTimer theTimer_;
    QTimer taskbarTimer_;

    bool barExpanded_ = false;
    bool menuBusy_ = false;
    bool terminating_ = false;
    bool icon32Visible_ = true;
    bool recordVisible_ = false;
    bool networkVisible_ = false;
    std::int32_t shownService_ = 0;
    bool shownTuning_ = false;
    int blinkPhase_ = 0;
    int powerLevel_ = 0;
    QString serviceText_;
    QString serviceLabel_;
    QString hyperlinkTarget_;
    // Moving and sizing by hand when the window system cannot do it itself.
    enum class Handling { None, Move, SizeLeft, SizeRight };
    Handling handling_ = Handling::None;
    QPoint pressGlobal_;
    QRect pressGeometry_;
};

extern TTunoraWindow* TunoraWindow;

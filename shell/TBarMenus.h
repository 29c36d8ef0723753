#pragma once

#include <QIcon>
#include <QList>
#include <QPoint>
#include <QString>
#include <cstdint>
#include <functional>

#include "services/TListEntry.h"

class QAction;
class QMenu;
class QWidget;
class TMainControl;
class TSettingsWrapper;

// The bar's actions that the menus show or hide (the bar owns them).
struct TBarMenuActions {
    QAction* Options = nullptr;
    QAction* Timer = nullptr;
    QAction* List = nullptr;
    QAction* Scan = nullptr;
    QAction* Record = nullptr;
    QAction* Quiet = nullptr;
    QAction* Exit = nullptr;
    QAction* Hyperlink = nullptr;
};

// The bar's main and quick popup menus: their fixed items, the favourites and recents added
// before each opening, and the menu images. The menus are children of the bar window.
// Main thread only.
class TBarMenus {
public:
    // Indices of the menu images.
    enum class MenuImage { Options, List, Timer, Exit, Bar, Quiet, Recent, Favourite, Link };
    static constexpr int kImageCount = static_cast<int>(MenuImage::Link) + 1;
    // The quick menu's fixed items, before its service items.
    static constexpr int kQuickMenuFixedItems = 6;

    // `serviceIcon` gives a service's 16-pixel genre icon; `startService` runs when a service
    // item is chosen.
    TBarMenus(QWidget* owner, TMainControl& control, TSettingsWrapper& settings,
              std::function<QIcon(std::int32_t serviceId)> serviceIcon,
              std::function<void(std::int32_t serviceId)> startService);

    // A new action of the owner with a menu image.
    QAction* MakeAction(const QString& caption, MenuImage image, bool visible) const;
    // Puts the fixed items into both menus, in their order.
    void CreateMenus(const TBarMenuActions& actions);

    void BuildMainMenu();
    void BuildQuickMenu();
    void AddServiceItems(QMenu* parent, const TListEntries& list);
    void AddSeparatorItem(QMenu* parent);
    // Builds the menu, runs it at screen point `at` until it closes, then drops its images.
    void Open(bool quick, QPoint at);

    QMenu* MainPopupMenu() const { return mainMenu_; }
    QMenu* QuickPopupMenu() const { return quickMenu_; }
    QMenu* RecentMenu() const { return recentMenu_; }
    QMenu* FavouriteMenu() const { return favouriteMenu_; }

    // `text` as a menu caption that shows every "&" literally.
    static QString Literal(QString text);
    // Whether the record manager (when one exists) records `serviceId`.
    static bool IsRecording(std::int32_t serviceId);

private:
    QWidget* owner_;
    TMainControl& control_;
    TSettingsWrapper& settings_;
    std::function<QIcon(std::int32_t)> serviceIcon_;
    std::function<void(std::int32_t)> startService_;
    TBarMenuActions actions_;
    QList<QIcon> masterImageList_;
    // The images of the open menu: a copy of the master list plus one per service item.
    QList<QIcon> dynamicImageList_;
    QMenu* mainMenu_ = nullptr;
    QMenu* quickMenu_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QMenu* favouriteMenu_ = nullptr;
};

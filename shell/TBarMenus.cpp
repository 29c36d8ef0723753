#include "shell/TBarMenus.h"

#include <QAction>
#include <QMenu>
#include <QPixmap>
#include <QThread>
#include <QWidget>

#include "receiver/TMainControl.h"
#include "recording/TRecordManager.h"
#include "services/TSettingsWrapper.h"
#include "shell/GuiImages.h"

namespace {

// The GIF resources of the menu images, by MenuImage.
const char* const kMenuImages[TBarMenus::kImageCount] = {
    "MENUOPTIONS", "MENULIST",   "MENUTIMER",     "MENUEXIT", "MENUBAR",
    "MENUQUIET",   "MENURECENT", "MENUFAVOURITE", "MENULINK"};

// "QuickMenuMode": which lists the quick menu shows.
constexpr int kFavouritesOnly = 1;
constexpr int kRecentsOnly = 2;

}  // namespace

TBarMenus::TBarMenus(QWidget* owner, TMainControl& control, TSettingsWrapper& settings,
                     std::function<QIcon(std::int32_t)> serviceIcon,
                     std::function<void(std::int32_t)> startService)
    : owner_(owner),
      control_(control),
      settings_(settings),
      serviceIcon_(std::move(serviceIcon)),
      startService_(std::move(startService)) {
    for (const char* name : kMenuImages) {
        masterImageList_.append(
            QIcon(QPixmap::fromImage(GuiImages::Gif(QString::fromLatin1(name)))));
    }
}

QAction* TBarMenus::MakeAction(const QString& caption, MenuImage image, bool visible) const {
    auto* action = new QAction(caption, owner_);
    action->setIcon(masterImageList_.value(static_cast<int>(image)));
    action->setVisible(visible);
    return action;
}

void TBarMenus::CreateMenus(const TBarMenuActions& actions) {
    actions_ = actions;
    mainMenu_ = new QMenu(owner_);
    mainMenu_->addAction(actions.Options);
    mainMenu_->addAction(actions.Timer);
    mainMenu_->addSeparator();
    mainMenu_->addAction(actions.List);
    recentMenu_ = mainMenu_->addMenu(masterImageList_.value(static_cast<int>(MenuImage::Recent)),
                                     QStringLiteral("Recent"));
    recentMenu_->menuAction()->setVisible(false);
    favouriteMenu_ =
        mainMenu_->addMenu(masterImageList_.value(static_cast<int>(MenuImage::Favourite)),
                           QStringLiteral("Favourite"));
    favouriteMenu_->menuAction()->setVisible(false);
    mainMenu_->addAction(actions.Record);
    mainMenu_->addAction(actions.Quiet);
    mainMenu_->addSeparator();
    mainMenu_->addAction(actions.Exit);

    quickMenu_ = new QMenu(owner_);
    quickMenu_->addAction(actions.Hyperlink);
    quickMenu_->addSeparator();
    quickMenu_->addAction(actions.List);
    quickMenu_->addAction(actions.Record);
    quickMenu_->addAction(actions.Quiet);
    quickMenu_->addSeparator();
    Q_ASSERT(quickMenu_->actions().size() == kQuickMenuFixedItems);
}

void TBarMenus::BuildMainMenu() {
    actions_.Scan->setVisible(!control_.IsBusy());
    actions_.Record->setVisible(control_.TunedSId() != 0);
    actions_.Record->setChecked(IsRecording(control_.PlayingServiceID()));
    actions_.Quiet->setVisible(control_.CurrentService() != 0);
    recentMenu_->clear();
    favouriteMenu_->clear();
    dynamicImageList_ = masterImageList_;
    TListEntries list;
    settings_.GetFavourites(list);
    AddServiceItems(favouriteMenu_, list);
    favouriteMenu_->menuAction()->setVisible(!list.isEmpty());
    settings_.GetRecents(list, true);
    AddServiceItems(recentMenu_, list);
    recentMenu_->menuAction()->setVisible(!list.isEmpty());
}

void TBarMenus::BuildQuickMenu() {
    const std::int32_t playing = control_.PlayingServiceID();
    actions_.Record->setVisible(playing != 0);
    actions_.Record->setChecked(IsRecording(playing));
    actions_.Quiet->setVisible(control_.CurrentService() != 0);
    const QList<QAction*> items = quickMenu_->actions();
    for (qsizetype i = kQuickMenuFixedItems; i < items.size(); ++i) {
        quickMenu_->removeAction(items[i]);
        if (items[i]->parent() == quickMenu_) {
            delete items[i];
        }
    }
    dynamicImageList_ = masterImageList_;
    const int mode = settings_.ReadInteger(Setting::QuickMenuMode);
    TListEntries list;
    if (mode != kRecentsOnly) {
        settings_.GetFavourites(list);
        AddServiceItems(quickMenu_, list);
    }
    if (mode != kFavouritesOnly) {
        settings_.GetRecents(list, true);
        if (quickMenu_->actions().size() > kQuickMenuFixedItems && !list.isEmpty()) {
            AddSeparatorItem(quickMenu_);
        }
        AddServiceItems(quickMenu_, list);
    }
}

void TBarMenus::AddServiceItems(QMenu* parent, const TListEntries& list) {
    const std::int32_t current = control_.CurrentService();
    for (const TListEntry& line : list) {
        const auto serviceId = static_cast<std::int32_t>(line.Object);
        auto* item = new QAction(Literal(line.Text), parent);
        item->setData(serviceId);
        item->setEnabled(control_.CanUseService(serviceId, true));
        item->setCheckable(true);
        item->setChecked(serviceId == current);
        const QIcon icon = serviceIcon_(serviceId);
        dynamicImageList_.append(icon);
        item->setIcon(icon);
        QObject::connect(item, &QAction::triggered, owner_,
                         [this, serviceId] { startService_(serviceId); });
        parent->addAction(item);
    }
}

void TBarMenus::AddSeparatorItem(QMenu* parent) {
    QAction* separator = parent->addSeparator();
    separator->setData(0);
}

void TBarMenus::Open(bool quick, QPoint at) {
    Q_ASSERT(QThread::currentThread() == owner_->thread());
    if (quick) {
        BuildQuickMenu();
    } else {
        BuildMainMenu();
    }
    (quick ? quickMenu_ : mainMenu_)->exec(at);
    dynamicImageList_.clear();
}

QString TBarMenus::Literal(QString text) {
    return text.replace(u'&', QStringLiteral("&&"));
}

bool TBarMenus::IsRecording(std::int32_t serviceId) {
    return RecordManager && serviceId != 0 && RecordManager->IsRecording(serviceId);
}

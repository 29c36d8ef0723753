#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>
#include <tuple>

#include "recording/TRecordManager.h"
#include "resources/Resources.h"
#include "services/ProgrammeTypes.h"
#include "shell/GuiImages.h"
#include "shell/QtDialogs.h"
#include "shell/Startup.h"
#include "shell/TDSLCanvas.h"
#include "shell/TDSLDrawer.h"
#include "shell/TTrayIcon.h"
#include "shell/TTunoraWindow.h"
#include "tests/receiver/TestRecorder.h"
#include "tests/sim/PadReader.h"
#include "tests/support/ReceiverWorld.h"
#include "windows/TServicePictures.h"

namespace {

constexpr int kRecording = 0;
constexpr int kStream = 1;

// The bar over the receiver world, with "Rock & Roll" (SId C0E0) on Radio One's ensemble.
class BarTest : public ::testing::Test, public ReceiverWorld {
protected:
    BarTest() {
        fake.air[k12B].services.push_back({0xC0E0, "Rock & Roll", 5, {{105, "Rock & Roll", 1, 0}}});
        rock = tables.AddService(0xC0E0, 0, QStringLiteral("Rock & Roll"), u'A', 5, k12B);
        // The bar as on a desktop with a notification area, unless a test takes it away.
        TTrayIcon::SetAvailabilityCheck([] { return true; });
    }
    ~BarTest() override {
        bar.reset();
        TTrayIcon::SetAvailabilityCheck({});
        ServicePictures = nullptr;
        for (TestRecorder* r : recorders) {
            control.RemoveRecorder(r);
        }
        qDeleteAll(recorders);
    }

    void MakeBar(QStringList arguments = {QStringLiteral("tunora")}) {
        bar = std::make_unique<TTunoraWindow>(tables, settings, control, arguments);
    }
    // Starts a service from the bar and lets the receiver settle on its ensemble.
    void Play(std::int32_t serviceId) {
        bar->StartService(serviceId);
        fake.ready = true;
        control.TheTimerTimer();
        ASSERT_EQ(control.CurrentService(), serviceId);
    }
    TestRecorder* AddRecorder(std::int32_t serviceId, int kind) {
        auto* recorder = new TestRecorder(serviceId, tables, kind);
        recorders.append(recorder);
        control.AddRecorder(recorder);
        return recorder;
    }
    static QStringList Captions(const QMenu* menu) {
        QStringList captions;
        for (const QAction* a : menu->actions()) {
            if (a->isVisible()) {
                captions.append(a->isSeparator() ? QStringLiteral("-") : a->text());
            }
        }
        return captions;
    }
    static const QAction* Item(const QMenu* menu, const QString& caption) {
        for (const QAction* a : menu->actions()) {
            if (a->text() == caption) {
                return a;
            }
        }
        return nullptr;
    }

    std::unique_ptr<TTunoraWindow> bar;
    QList<TestRecorder*> recorders;
    std::int32_t rock = 0;
};

}  // namespace

// Record and Quiet show only while a service plays and Scan hides while busy; without favourites
// and with "RecentCount" 0 both submenus stay hidden and the quick menu keeps its six fixed items;
// a favourite on another ensemble is greyed while a recording runs, not while only a stream runs.
TEST_F(BarTest, MenuItemsFollowTheListsAndTheControllerState) {
    settings.WriteInteger(Setting::RecentCount, 0);
    MakeBar();
    bar->BuildMainMenu();
    EXPECT_EQ(Captions(bar->MainPopupMenu()),
              QStringList({u"Options"_qs, u"Timer"_qs, u"-"_qs, u"List"_qs, u"-"_qs, u"Exit"_qs}));
    EXPECT_TRUE(bar->ScanAction->isVisible());
    Play(radioOne);
    bar->BuildMainMenu();
    EXPECT_FALSE(bar->RecentMenu()->menuAction()->isVisible());
    EXPECT_FALSE(bar->FavouriteMenu()->menuAction()->isVisible());
    EXPECT_EQ(Captions(bar->MainPopupMenu()),
              QStringList({u"Options"_qs, u"Timer"_qs, u"-"_qs, u"List"_qs, u"Record"_qs,
                           u"Quiet"_qs, u"-"_qs, u"Exit"_qs}));
    bar->BuildQuickMenu();
    EXPECT_EQ(bar->QuickPopupMenu()->actions().size(), 6);
    EXPECT_FALSE(bar->HyperlinkAction->isVisible());

    settings.SetFavourite(otherA, true);
    AddRecorder(radioOne, kStream);
    bar->BuildMainMenu();
    EXPECT_FALSE(bar->ScanAction->isVisible());
    EXPECT_TRUE(Item(bar->FavouriteMenu(), QStringLiteral("Other A"))->isEnabled());
    AddRecorder(radioOne, kRecording);
    bar->BuildMainMenu();
    EXPECT_FALSE(Item(bar->FavouriteMenu(), QStringLiteral("Other A"))->isEnabled());
}

// The quick menu lists favourites, a separator, then the numbered recents; "&" in a label is
// doubled so that it shows literally, and the current service is ticked.
TEST_F(BarTest, QuickMenuModesAndLiteralAmpersand) {
    MakeBar();
    Play(radioOne);
    Play(rock);
    settings.SetFavourite(rock, true);
    settings.SetFavourite(otherA, true);

    bar->BuildQuickMenu();
    EXPECT_EQ(Captions(bar->QuickPopupMenu()),
              QStringList({u"-"_qs, u"List"_qs, u"Record"_qs, u"Quiet"_qs, u"-"_qs, u"Other A"_qs,
                           u"Rock && Roll"_qs, u"-"_qs, u"1 Rock && Roll"_qs, u"2 Radio One"_qs}))
        << Captions(bar->QuickPopupMenu()).join(u'|').toStdString();
    const QAction* current = Item(bar->QuickPopupMenu(), QStringLiteral("1 Rock && Roll"));
    ASSERT_NE(current, nullptr);
    EXPECT_TRUE(current->isChecked());
    EXPECT_EQ(current->data().toInt(), rock);
    EXPECT_FALSE(Item(bar->QuickPopupMenu(), QStringLiteral("2 Radio One"))->isChecked());

    settings.WriteInteger(Setting::QuickMenuMode, 1);
    bar->BuildQuickMenu();
    EXPECT_EQ(Captions(bar->QuickPopupMenu()).mid(5),
              QStringList({u"Other A"_qs, u"Rock && Roll"_qs}));

    settings.WriteInteger(Setting::QuickMenuMode, 2);
    bar->BuildQuickMenu();
    EXPECT_EQ(Captions(bar->QuickPopupMenu()).mid(5),
              QStringList({u"1 Rock && Roll"_qs, u"2 Radio One"_qs}))
        << "only recents: no separator";

    bar->BuildMainMenu();
    EXPECT_TRUE(bar->RecentMenu()->menuAction()->isVisible());
    EXPECT_TRUE(bar->FavouriteMenu()->menuAction()->isVisible());
    EXPECT_EQ(Captions(bar->FavouriteMenu()), QStringList({u"Other A"_qs, u"Rock && Roll"_qs}));
    EXPECT_EQ(Captions(bar->RecentMenu()), QStringList({u"1 Rock && Roll"_qs, u"2 Radio One"_qs}));
}

// StartService refuses while a recording holds another ensemble, asks about a stream, and
// otherwise plays, remembers the service and stores its key; Quiet stores $0000.
TEST_F(BarTest, StartServiceQuestions) {
    MakeBar();
    Play(radioOne);
    EXPECT_EQ(settings.ReadString(Setting::Playing), u"$C0DE");

    AddRecorder(radioOne, kStream);
    dialogs.answers.push_back(DialogResult::Cancel);
    bar->StartService(otherA);
    EXPECT_TRUE(dialogs.Shown(1, DialogKind::Warning,
                              u"A service on the current multiplex in being streamed..\n\rDo you "
                              "want to stop streaming and retune?"_qs,
                              DialogButtons::OkCancel));
    EXPECT_EQ(control.CurrentService(), radioOne);

    AddRecorder(radioOne, kRecording);
    bar->StartService(otherA);
    EXPECT_TRUE(dialogs.Shown(2, DialogKind::Error,
                              u"Unable to retune.\n\rStop recording first or select a service on "
                              "the current multiplex."_qs,
                              DialogButtons::Cancel));
    EXPECT_EQ(control.CurrentService(), radioOne);

    bar->StartService(radioOne);  // the current service again: nothing, not even a box

    for (TestRecorder* r : recorders) {
        control.RemoveRecorder(r);
    }
    bar->QuietAction->trigger();
    EXPECT_EQ(control.CurrentService(), 0);
    EXPECT_EQ(settings.ReadString(Setting::Playing), u"$0000");
}

// ShowService and SetServiceText set caption, label and a tip cut to 63 characters.
TEST_F(BarTest, ServiceTextCaptionAndTip) {
    MakeBar();
    EXPECT_EQ(bar->ServiceLabel(), u"Tunora 1.4 Dev 10");
    bar->ShowService(rock, true);
    EXPECT_EQ(bar->ServiceText(), u"Tuning to Rock & Roll...");
    EXPECT_EQ(bar->windowTitle(), u"Tunora [Tuning to Rock & Roll...]");
    bar->ShowService(rock, false);
    EXPECT_EQ(bar->ServiceLabel(), u"Rock & Roll");
    EXPECT_EQ(bar->TrayTip(), u"Tunora [Rock & Roll]");

    const QString longName = QString(70, u'x');
    bar->SetServiceText(longName);
    EXPECT_EQ(bar->windowTitle(), QStringLiteral("Tunora [") + longName + u']');
    EXPECT_EQ(bar->TrayTip(), (QStringLiteral("Tunora [") + longName).left(63));
    EXPECT_EQ(bar->TrayTip().size(), 63);

    bar->ShowService(0, false);
    EXPECT_EQ(bar->windowTitle(), u"Tunora");
    EXPECT_EQ(bar->ServiceText(), u"Tunora 1.4 Dev 10");
    EXPECT_EQ(bar->TrayTip(), u"Tunora");
}

// The timer shows the tuning text while the receiver settles, then the name; with audio
// information the label carries bit rate and mode.
TEST_F(BarTest, TimerShowsTuningThenAudioInfo) {
    settings.WriteBool(Setting::ShowAudioInfo, true);
    MakeBar();
    bar->show();
    bar->StartService(radioOne);
    bar->TheTimerTimer();
    EXPECT_TRUE(bar->ShownTuning());
    EXPECT_EQ(bar->ServiceLabel(), u"Tuning to Radio One...");
    fake.ready = true;
    control.TheTimerTimer();
    bar->TheTimerTimer();
    EXPECT_FALSE(bar->ShownTuning());
    EXPECT_EQ(bar->ShownService(), radioOne);
    EXPECT_EQ(bar->ServiceLabel(), u"Radio One") << "no stream information yet";

    fake.Deliver(101, PadFrame(kStereo128, {0, 0, 0, 0}, 0, 0));
    bar->UpdateAudioInfo();
    EXPECT_EQ(bar->ServiceLabel(), u"Radio One   (128Kbps Stereo)");
    fake.Deliver(101, PadFrame(kPadFormats[2], {0, 0, 0, 0}, 0, 0));
    bar->UpdateAudioInfo();
    EXPECT_EQ(bar->ServiceLabel(), u"Radio One   (48Kbps Mono)");
    EXPECT_EQ(bar->ServiceText(), u"Radio One");
}

// The record sign shows three ticks of four, the stream sign likewise, and both alternate.
TEST_F(BarTest, IndicatorsBlinkByPhase) {
    MakeBar();
    bar->show();
    Play(radioOne);
    const auto cycle = [this] {
        QString pattern;
        for (int i = 0; i < 8; ++i) {
            bar->TheTimerTimer();
            pattern += bar->RecordImageVisible() ? (bar->NetworkImageVisible() ? u'B' : u'R')
                                                 : (bar->NetworkImageVisible() ? u'N' : u'.');
        }
        return pattern;
    };
    EXPECT_EQ(cycle(), u"........");
    EXPECT_EQ(bar->BlinkPhase(), 0);
    TestRecorder* recording = AddRecorder(radioOne, kRecording);
    EXPECT_EQ(cycle(), u"RRR.RRR.");
    control.RemoveRecorder(recording);
    bar->TheTimerTimer();
    EXPECT_EQ(bar->BlinkPhase(), 0);
    AddRecorder(radioOne, kStream);
    EXPECT_EQ(cycle(), u"NNN.NNN.");
    control.AddRecorder(recording);
    EXPECT_EQ(cycle(), u"RRR.NNN.");
    EXPECT_EQ(bar->PowerHint(), QString::number(bar->PowerLevel()) + u'%');
}

// Restore and Minimize store "HideBar" and open or close the bar; opening twice changes nothing;
// the label scrolls only while the bar can be seen, never without a display.
TEST_F(BarTest, ExpandAndCollapse) {
    MakeBar();
    EXPECT_FALSE(bar->BarExpanded());
    EXPECT_FALSE(bar->isVisible());
    bar->RestoreBarAction->trigger();
    EXPECT_TRUE(bar->BarExpanded());
    EXPECT_TRUE(bar->isVisible());
    EXPECT_FALSE(settings.ReadBool(Setting::HideBar));
    EXPECT_EQ(bar->TheTimer().interval(), 250);
    EXPECT_FALSE(bar->CanBeSeen());
    EXPECT_TRUE(bar->LabelDrawer()->IsSuspended());
    bar->SetHeadless(false);
    for (int i = 0; i < 50 && !bar->CanBeSeen(); ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_TRUE(bar->CanBeSeen());
    EXPECT_FALSE(bar->LabelDrawer()->IsSuspended());
    bar->ExpandBar();
    EXPECT_TRUE(bar->isVisible());
    bar->MinimizeBarAction->trigger();
    EXPECT_FALSE(bar->BarExpanded());
    EXPECT_FALSE(bar->isVisible());
    EXPECT_TRUE(settings.ReadBool(Setting::HideBar));
    EXPECT_EQ(bar->TheTimer().interval(), 1000);
    EXPECT_TRUE(bar->LabelDrawer()->IsSuspended());
    // A click on the tray icon toggles the bar once the double-click time has passed.
    bar->TrayIconMessage(514);
    EXPECT_TRUE(bar->TaskbarTimer().isActive());
    EXPECT_EQ(bar->TaskbarTimer().interval(), QApplication::doubleClickInterval());
    bar->TaskbarTimerTimer();
    EXPECT_FALSE(bar->TaskbarTimer().isActive());
    EXPECT_TRUE(bar->BarExpanded());
}

// Closing the window asks "Do you want to exit Tunora?", and Exit asks first while recording
// or streaming; Cancel keeps the bar, OK closes it.
TEST_F(BarTest, CloseAndExitAsk) {
    MakeBar();
    bar->ExpandBar();
    EXPECT_FALSE(bar->close());
    EXPECT_TRUE(dialogs.Shown(1, DialogKind::Confirmation, u"Do you want to exit Tunora?"_qs,
                              DialogButtons::OkCancel));
    EXPECT_TRUE(bar->isVisible());

    Play(radioOne);
    AddRecorder(radioOne, kRecording);
    dialogs.answers.push_back(DialogResult::Cancel);
    bar->ExitAction->trigger();
    EXPECT_TRUE(dialogs.Shown(2, DialogKind::Confirmation,
                              u"Do you want to stop recording/streaming and exit Tunora?"_qs,
                              DialogButtons::OkCancel));
    EXPECT_TRUE(bar->BarExpanded());
    EXPECT_FALSE(bar->Terminating());
    dialogs.answers.push_back(DialogResult::Ok);
    bar->ExitAction->trigger();
    EXPECT_FALSE(bar->BarExpanded());
    EXPECT_TRUE(bar->Terminating());
}

// The client area acts as frame parts of the bar's own size, which keeps its height.
TEST_F(BarTest, HitTestRegions) {
    MakeBar();
    bar->resize(500, 56);
    EXPECT_EQ(bar->HitTest(QPoint(10, 30)), TTunoraWindow::HitArea::LeftEdge);
    EXPECT_EQ(bar->HitTest(QPoint(452, 0)), TTunoraWindow::HitArea::MinimiseBox);
    EXPECT_EQ(bar->minimumWidth(), 112);
    EXPECT_EQ(bar->minimumHeight(), 56);
    EXPECT_EQ(bar->maximumHeight(), 56);
}

// A suspend is refused while a service plays, while busy or scanning, and with timed recording.
TEST_F(BarTest, SuspendDeniedWhileInUse) {
    MakeBar();
    EXPECT_FALSE(bar->QuerySuspendDenied());
    settings.WriteBool(Setting::TimerEnabled, true);
    EXPECT_TRUE(bar->QuerySuspendDenied());
    settings.WriteBool(Setting::TimerEnabled, false);
    control.SetScanLock(true);
    EXPECT_TRUE(bar->QuerySuspendDenied());
    control.SetScanLock(false);
    Play(radioOne);
    EXPECT_TRUE(bar->QuerySuspendDenied());
}

// Record hands the current service to the record manager: a cancelled save dialog leaves the
// action unticked and the menus usable again.
TEST_F(BarTest, RecordGoesThroughTheRecordManager) {
    TRecordManager manager(control, tables, settings);
    RecordManager = &manager;
    MakeBar();
    Play(radioOne);
    dialogs.saveAnswers.push_back(std::nullopt);
    bar->RecordAction->trigger();
    EXPECT_EQ(dialogs.saveRequests.size(), 1);
    EXPECT_FALSE(manager.IsRecording(radioOne));
    EXPECT_FALSE(bar->RecordAction->isChecked());
    EXPECT_FALSE(bar->MenuBusy());
    bar.reset();
    RecordManager = nullptr;
}

// An empty service table brings the scan question at creation.
TEST(BarCreation, EmptyTableOffersAScan) {
    ReceiverWorld world(ReceiverWorld::Tables::Empty);
    TTunoraWindow bar(world.tables, world.settings, world.control, {QStringLiteral("tunora")});
    EXPECT_TRUE(world.dialogs.Shown(1, DialogKind::Confirmation,
                                    u"No services found. \n\rDo you want to scan for them now?"_qs,
                                    DialogButtons::YesNo));
}

// A double-click on a link in the label offers it, completed, at the top of the quick menu; a
// hidden bar stays hidden after the menu.
TEST_F(BarTest, DoubleClickOffersTheLinkUnderIt) {
    MakeBar();
    settings.WriteBool(Setting::HideBar, true);
    fake.dynamicLabels[101] = "Mail studio@harbour.fm now";
    Play(radioOne);
    TDSLDrawer* drawer = bar->LabelDrawer();
    drawer->Reset();
    for (int i = 0; i < 100 && !(drawer->Idle() && !drawer->LabelText().isEmpty()); ++i) {
        drawer->Step(16);
    }
    ASSERT_EQ(drawer->LabelText(), u"Mail studio@harbour.fm now");
    ASSERT_EQ(drawer->Hotspots().size(), 1);
    const TDLSHotspot hotspot = drawer->Hotspots()[0];
    const QPoint inLabel =
        bar->DSLImageRect().topLeft() +
        QPoint(hotspot.Position + hotspot.PixelWidth / 2 - drawer->ViewOffset(), 2);
    bool linkShown = false;
    QString caption;
    QTimer::singleShot(100, [&] {
        linkShown = bar->HyperlinkAction->isVisible();
        caption = bar->HyperlinkAction->text();
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
        }
    });
    bar->HyperlinkCheck(bar->mapToGlobal(inLabel));
    EXPECT_TRUE(linkShown);
    EXPECT_EQ(caption, u"mailto:studio@harbour.fm");
    EXPECT_EQ(bar->HyperlinkTarget(), u"mailto:studio@harbour.fm");
    EXPECT_FALSE(bar->HyperlinkAction->isVisible());
    EXPECT_FALSE(bar->isVisible());
}

// Without a notification area the corner click leaves the bar open and "HideBar" alone; a later
// start without arguments, or with --maximized (show command 3), brings a hidden bar back.
TEST_F(BarTest, WithoutATrayTheBarCannotBeLost) {
    TTrayIcon::SetAvailabilityCheck([] { return false; });
    MakeBar();
    bar->RestoreBarAction->trigger();
    bar->MinimizeBarAction->trigger();
    EXPECT_TRUE(bar->BarExpanded());
    for (const auto& [showCommand, line, shown] :
         {std::tuple{1, "tunora", true}, {3, "tunora NUL", true}, {1, "tunora NUL", false}}) {
        bar->CollapseBar();
        settings.WriteBool(Setting::HideBar, true);
        bar->HandOverMessage(1, showCommand, QString::fromLatin1(line));
        EXPECT_EQ(bar->BarExpanded(), shown) << line;
        EXPECT_EQ(settings.ReadBool(Setting::HideBar), !shown) << line;
    }
}

// The bar and its tray icon show a service's own (branding) picture, else its genre picture.
TEST_F(BarTest, ServicesOwnPictureBeforeItsGenre) {
    const QString folder = env.Root() + QStringLiteral("/Branding");
    QDir().mkpath(folder + QStringLiteral("/GIF"));
    for (const QString& size : {u"16"_qs, u"32"_qs}) {
        QFile file(folder + QStringLiteral("/GIF/$C0DE_") + size + QStringLiteral(".gif"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(*Resources::Find(QStringLiteral("GIF"), QStringLiteral("ALARM") + size));
    }
    TServicePictures pictures(tables, folder);
    ServicePictures = &pictures;
    settings.WriteBool(Setting::ChangeTaskBarIcon, true);
    MakeBar();
    bar->ShowService(radioOne, false);
    EXPECT_EQ(bar->Icon32Image(), GuiImages::Gif(QStringLiteral("ALARM32")));
    EXPECT_EQ(bar->TrayIcon().pixmap(16).toImage().convertToFormat(QImage::Format_ARGB32),
              GuiImages::Gif(QStringLiteral("ALARM16")));
    bar->ShowService(otherA, false);
    EXPECT_EQ(bar->Icon32Image(), GuiImages::Gif(GetGenreImageName(3, 32)));
}

// Refused settings writes are shown as their text: the service plays, the bar opens, start-up's
// show command goes on, and the bar's destruction runs to its end. A huge stored "Width" opens a
// bar as wide as the screen.
TEST_F(BarTest, RefusedWritesAreShownAndHugeWidthIsClamped) {
    settings.WriteInteger(Setting::Width, 0x7fffffff);
    MakeBar();
    EXPECT_EQ(bar->width(), QGuiApplication::primaryScreen()->availableGeometry().width());
    // A folder where the user hive's file should be: every write fails, even for root.
    QFile::remove(RegistryKey::HiveFile(RegistryKey::Hive::User));
    ASSERT_TRUE(QDir().mkpath(RegistryKey::HiveFile(RegistryKey::Hive::User)));
    bar->StartService(radioOne);
    EXPECT_EQ(control.CurrentService(), radioOne);
    bar->RestoreBarAction->trigger();
    EXPECT_TRUE(bar->BarExpanded());
    Startup::ApplyShowCommand(settings, 7);
    bar.reset();
    QStringList texts;
    for (qsizetype i = 0; i < dialogs.boxes.size(); ++i) {
        texts.append(dialogs.boxes[i].text);
    }
    EXPECT_EQ(
        texts,
        QStringList({u"Failed to set data for 'Recents'"_qs, u"Failed to set data for 'Playing'"_qs,
                     u"Failed to set data for 'HideBar'"_qs, u"Failed to set data for 'HideBar'"_qs,
                     u"Failed to set data for 'Width'"_qs}));
}

// Label text is black on the white strip even where the theme's window text is white.
TEST(LabelCanvas, TextIsDarkInADarkTheme) {
    QPalette dark = QApplication::palette();
    dark.setColor(QPalette::WindowText, Qt::white);
    QApplication::setPalette(dark);
    TDSLCanvas canvas(
        nullptr, [] { return QRect(0, 0, 100, 15); }, QFont());
    canvas.CompactStrip(0, 100);
    canvas.DrawText(0, QStringLiteral("Harbour FM"), false);
    int darkest = 255;
    for (int p = 0; p < 100 * 15; ++p) {
        darkest = std::min(darkest, qGray(canvas.Strip().pixel(p % 100, p / 100)));
    }
    EXPECT_LT(darkest, 64);
}

// A name typed without an extension in the save dialog gets the extension of the file type the
// user chose: "Ogg Vorbis" and "name" give name.ogg.
TEST(QtDialogsSave, ChosenFileTypeDecidesTheExtension) {
    QTemporaryDir folder;
    QTimer::singleShot(50, [] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        // As the user's pick from the list does.
        auto* types = dialog->findChild<QComboBox*>(u"fileTypeCombo"_qs);
        types->setCurrentIndex(1);
        Q_EMIT types->activated(1);
        Q_EMIT types->textActivated(types->itemText(1));
        dialog->findChild<QLineEdit*>(u"fileNameEdit"_qs)->setText(QStringLiteral("name"));
        static_cast<QDialog*>(dialog)->accept();
    });
    QtDialogs dialogs;
    const std::optional<SaveFileAnswer> answer =
        dialogs.SaveFile({QString(), folder.path(), QString(),
                          u"MPEG Audio (Layer 2)|*.mp2|Ogg Vorbis|*.ogg"_qs, 1, u"MP2"_qs});
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(QFileInfo(answer->path).fileName(), QStringLiteral("name.ogg"));
    EXPECT_EQ(answer->filterIndex, 2);
}

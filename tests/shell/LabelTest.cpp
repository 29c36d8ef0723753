#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <chrono>

#include "shell/DSLLinks.h"
#include "shell/TDSLDrawer.h"

namespace {

// A strip of one column per character: the strip is a string, blanks are '_' so gaps are
// visible; links are remembered as drawn.
class CharSurface : public TDSLSurface {
public:
    explicit CharSurface(int width) : width_(width) {}
    int AreaWidth() const override { return width_; }
    int TextPixelWidth(const QString& text) const override { return static_cast<int>(text.size()); }
    void CompactStrip(int from, int width) override {
        ++compactions;
        QString moved = strip.mid(from).left(width);
        strip = moved + QString(width - moved.size(), u'_');
    }
    void DrawText(int x, const QString& text, bool link) override {
        strip.replace(x, text.size(), text);
        if (link) {
            links.append(text);
        }
    }
    void Paint(int viewOffset) override { shown = strip.mid(viewOffset, width_); }

    QString strip;
    QString shown;
    QStringList links;
    int compactions = 0;
    int width_;
};

struct DrawerFixture {
    explicit DrawerFixture(int width)
        : surface(width), drawer(&surface, [this] { return label; }) {}
    // Steps until the drawer stands still, at most `limit` steps; answers the steps taken.
    int StepUntilIdle(int limit = 1000) {
        int steps = 0;
        while (!drawer.Idle() && steps < limit) {
            drawer.Step(drawer.ScrollJump());
            ++steps;
        }
        return steps;
    }
    QString label;
    CharSurface surface;
    TDSLDrawer drawer;
};

constexpr int kGapColumns = TDSLDrawer::kGap;

QString Link(const QString& text, int from = 1) {
    const auto [start, length] = FindLink(text, from);
    return start == 0 ? QString() : text.mid(start - 1, length);
}

}  // namespace

// A link is a word of five or more characters with two dots, or one dot and no digit among its
// last three; a full stop ending a sentence is left out (a stop that was the only dot leaves
// none); commas, brackets, quotes and non-ASCII characters spoil a word.
TEST(FindLink, RecognisesAddresses) {
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"see harbourfm.com", u"harbourfm.com"},
        {u"Price 12345.67 pounds", u""},
        {u"Score abc.x1 now", u""},
        {u"host 10.0.0.1 up", u"10.0.0.1"},
        {u"a.bc", u""},
        {u"a.b.c", u"a.b.c"},
        {u"ab.cd", u"ab.cd"},
        {u"More at harbour.fm.", u"harbour.fm"},
        {u"That is great.", u""},
        {u"Ask www.a-b.co.uk... soon", u""},
        {u"Wait... www.x.org", u"www.x.org"},
        {u"see www.x.org, then", u""},
        {u"(www.x.org)", u""},
        {u"www.caf\u00e9.org", u""},
        {u"http://x.org/a?b=c&d=e_f~g%ab", u"http://x.org/a?b=c&d=e_f~g%ab"},
    };
    for (const auto& [text, link] : cases) {
        EXPECT_EQ(Link(QString::fromUtf16(text)), QString::fromUtf16(link))
            << QString::fromUtf16(text).toStdString();
    }
}

// Addresses without a scheme get http:// unless an at sign comes before any slash.
TEST(MakeLinkTarget, ChoosesMailOrWeb) {
    const std::pair<const char*, const char*> cases[] = {
        {"www.x.org", "http://www.x.org"},   {"me@x.org", "mailto:me@x.org"},
        {"x.org/me@y", "http://x.org/me@y"}, {"a@b.org/path", "mailto:a@b.org/path"},
        {"HTTP://x.org", "HTTP://x.org"},    {"MailTo:me@x.org", "MailTo:me@x.org"},
        {"https://x.org", "https://x.org"}};
    for (const auto& [address, target] : cases) {
        EXPECT_EQ(MakeLinkTarget(QString::fromLatin1(address)), QString::fromLatin1(target));
    }
}

// Reset leaves a blank strip one gap wider than the area, so text enters from beyond the edge.
TEST(TDSLDrawer, ResetGivesABlankRunIn) {
    DrawerFixture f(215);
    EXPECT_EQ(f.drawer.StripWidth(), 288);
    EXPECT_EQ(f.surface.strip, QString(288, u'_'));
    EXPECT_EQ(f.drawer.ViewOffset(), 0);
    EXPECT_FALSE(f.drawer.Idle());
}

// A short text slides in from the right, stops with its first character at the left edge, and
// the thread then polls every 2.5 s; an exactly fitting text counts as fitting.
TEST(TDSLDrawer, ShortTextStopsAtTheLeftEdge) {
    for (const int length : {10, 60}) {
        DrawerFixture f(60);
        f.label = QString(length, u'x');
        f.drawer.Step(1);  // the empty text fits at once
        EXPECT_TRUE(f.drawer.Idle());
        EXPECT_EQ(f.drawer.PauseAfterStep(), 2500);
        f.drawer.Step(1);  // fetches the label
        EXPECT_FALSE(f.drawer.Idle());
        EXPECT_TRUE(f.surface.shown.endsWith(u'_')) << "enters from beyond the right edge";
        const int steps = f.StepUntilIdle();
        EXPECT_TRUE(f.drawer.Idle()) << length;
        EXPECT_GT(steps, 40);
        EXPECT_EQ(f.drawer.ViewOffset(), f.drawer.TextStart());
        EXPECT_TRUE(f.surface.shown.startsWith(f.label)) << f.surface.shown.toStdString();
        const int offset = f.drawer.ViewOffset();
        f.drawer.Step(1);
        EXPECT_EQ(f.drawer.ViewOffset(), offset) << "nothing moves while the label is unchanged";
    }
}

// A text wider than the area scrolls without end, repeated after a 48-column gap, and a changed
// label takes over at the next repetition.
TEST(TDSLDrawer, LongTextRepeatsAfterAGap) {
    DrawerFixture f(20);
    f.label = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    f.drawer.Step(1);
    f.drawer.Step(1);
    QStringList seen;
    for (int i = 0; i < 300; ++i) {
        f.drawer.Step(1);
        EXPECT_FALSE(f.drawer.Idle());
        seen.append(f.surface.shown);
        if (i == 160) {
            f.label = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
        }
    }
    // The copy's end, then 48 blank columns, then the next copy.
    EXPECT_TRUE(seen.contains(QStringLiteral("Z") + QString(19, u'_')));
    EXPECT_TRUE(seen.contains(QString(20, u'_')));
    EXPECT_TRUE(seen.contains(QString(19, u'_') + u'A'));
    const qsizetype end = seen.indexOf(QStringLiteral("Z") + QString(19, u'_'));
    const qsizetype next = seen.indexOf(QString(19, u'_') + u'A', end);
    EXPECT_EQ(next - end, 1 + kGapColumns - 19) << "Z, 48 blank columns, then A";
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](const QString& v) {
        return v.startsWith(u"abcdefghij");
    })) << "the changed label shows at the next repetition";
    // The strip is compacted: it never grows far beyond one text plus the area and the gaps.
    EXPECT_LE(f.drawer.StripWidth(), 26 + 20 + 3 * 48);
}

// A new short label while idle pushes the old one out to the left as it slides in.
TEST(TDSLDrawer, NewShortLabelPushesTheOldOneOut) {
    DrawerFixture f(40);
    f.label = QStringLiteral("first");
    f.drawer.Step(1);
    f.drawer.Step(1);
    f.StepUntilIdle();
    ASSERT_TRUE(f.surface.shown.startsWith(u"first"));
    f.label = QStringLiteral("second");
    f.drawer.Step(1);
    EXPECT_FALSE(f.drawer.Idle());
    EXPECT_TRUE(f.surface.shown.startsWith(u"irst")) << f.surface.shown.toStdString();
    f.StepUntilIdle();
    EXPECT_TRUE(f.surface.shown.startsWith(u"second"));
    EXPECT_FALSE(f.surface.shown.contains(u"first"));
}

// Links become hotspots at their strip columns, move with the strip when it is compacted, are
// dropped when they leave it, and vanish on Reset.
TEST(TDSLDrawer, HotspotsFollowTheStrip) {
    DrawerFixture f(30);
    f.label = QStringLiteral("Go www.a.com now or mail me@b.org.");  // 34 columns: scrolls
    f.drawer.Step(1);
    f.drawer.Step(1);
    ASSERT_EQ(f.drawer.Hotspots().size(), 2);
    EXPECT_EQ(f.surface.links, QStringList({u"www.a.com"_qs, u"me@b.org"_qs}));
    const int start = f.drawer.TextStart();
    EXPECT_EQ(f.drawer.Hotspots()[0].Position, start + 3);
    EXPECT_EQ(f.drawer.Hotspots()[0].PixelWidth, 9);
    EXPECT_EQ(f.drawer.Hotspots()[1].Position, start + 25);
    // Scroll until the link's columns sit at the left edge of the area.
    while (f.drawer.ViewOffset() < start + 3) {
        f.drawer.Step(1);
    }
    EXPECT_EQ(f.drawer.HotspotAt(0), u"www.a.com");
    EXPECT_EQ(f.drawer.HotspotAt(9), u"www.a.com");
    EXPECT_EQ(f.drawer.HotspotAt(11), QString());
    // On the next repetition the strip is compacted: hotspots shift, the passed ones go.
    for (int i = 0; i < 80; ++i) {
        f.drawer.Step(1);
        for (const TDLSHotspot& h : f.drawer.Hotspots()) {
            EXPECT_GE(h.Position, 0);
            EXPECT_LT(h.Position, f.drawer.StripWidth());
            EXPECT_EQ(f.surface.strip.mid(h.Position, h.PixelWidth), h.LinkText);
        }
    }
    EXPECT_LE(f.drawer.Hotspots().size(), 4);
    f.drawer.Reset();
    EXPECT_TRUE(f.drawer.Hotspots().isEmpty());
    EXPECT_EQ(f.drawer.HotspotAt(0), QString());
}

// Speed and jump are kept within their ranges and set the pause between steps.
TEST(TDSLDrawer, ClampsSpeedAndJump) {
    DrawerFixture f(60);
    for (const auto& [set, speed, pause] :
         {std::tuple{-5, 4, 250}, std::tuple{1000, 256, 3}, std::tuple{30, 30, 33}}) {
        f.drawer.SetScrollSpeed(set);
        EXPECT_EQ(f.drawer.ScrollSpeed(), speed) << set;
        EXPECT_EQ(f.drawer.PauseAfterStep(), pause) << set;
    }
    for (const auto& [set, jump] : {std::pair{20, 16}, std::pair{0, 1}, std::pair{5, 5}}) {
        f.drawer.SetScrollJump(set);
        EXPECT_EQ(f.drawer.ScrollJump(), jump) << set;
    }
}

// Without a surface nothing is drawn and nothing moves.
TEST(TDSLDrawer, WithoutASurfaceDoesNothing) {
    TDSLDrawer drawer(nullptr, [] { return QStringLiteral("text"); });
    drawer.Step(1);
    drawer.AppendText(QStringLiteral("www.x.org"));
    EXPECT_EQ(drawer.ViewOffset(), 0);
    EXPECT_TRUE(drawer.LabelText().isEmpty());
    EXPECT_TRUE(drawer.Hotspots().isEmpty());
}

// The thread runs steps on the main thread only while resumed, and terminates promptly even in
// a long idle pause.
TEST(TDSLDrawer, ThreadPacesStepsOnTheMainThread) {
    DrawerFixture f(100);
    f.label = QString(300, u'y');  // never fits: no idle pause
    f.drawer.SetScrollSpeed(200);
    f.drawer.Step(1);  // the empty text after Reset fits...
    f.drawer.Step(1);  // ...so the next step fetches the label
    const int offset = f.drawer.ViewOffset();
    const auto pump = [](int ms) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    };
    pump(100);
    EXPECT_EQ(f.drawer.StepsDone(), 0u) << "created suspended";
    f.drawer.Resume();
    pump(300);
    const auto done = f.drawer.StepsDone();
    EXPECT_GE(done, 10u);
    EXPECT_NE(f.drawer.ViewOffset(), offset);
    f.drawer.Suspend();
    pump(100);
    const auto afterSuspend = f.drawer.StepsDone();
    pump(200);
    EXPECT_EQ(f.drawer.StepsDone(), afterSuspend);

    f.label.clear();
    f.drawer.Reset();
    f.drawer.Resume();
    pump(100);  // the empty text fits: the thread sleeps 2.5 s
    EXPECT_TRUE(f.drawer.Idle());
    QElapsedTimer timer;
    timer.start();
    f.drawer.Terminate();
    EXPECT_LT(timer.elapsed(), 500);
}

// Only web and mail addresses may be opened; a word naming another scheme never is, even with
// "http:" inside it.
TEST(IsOpenableLink, OnlyWebAndMail) {
    for (const auto& [target, openable] : {std::pair{"http://www.harbour.fm", true},
                                           {"HTTPS://Harbour.FM/news?a=1", true},
                                           {"mailto:studio@harbour.fm", true},
                                           {"file:///x/y.sh?http:", false},
                                           {"javascript:alert(1)//http:", false},
                                           {"smb://host/share/http:", false},
                                           {"http://", false},
                                           {"mailto:", false}}) {
        EXPECT_EQ(IsOpenableLink(MakeLinkTarget(QString::fromLatin1(target))), openable) << target;
    }
}

// A very wide label area gets its blank run-in in one rebuild of the strip, not one per gap,
// and as wide as gap by gap.
TEST(TDSLDrawer, WideAreaBuildsItsStripOnce) {
    DrawerFixture f(100000);
    f.surface.compactions = 0;
    f.drawer.Reset();
    EXPECT_LE(f.surface.compactions, 2);
    EXPECT_EQ(f.drawer.StripWidth(), (100000 / kGapColumns + 1) * kGapColumns + kGapColumns);
}

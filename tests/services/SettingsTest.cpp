#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <memory>

#include "platform/RegistryError.h"
#include "tests/support/ReceiverWorld.h"

namespace {

// Settings opened afresh on hives of their own, over the receiver world's empty tables.
class SettingsTest : public ::testing::Test, public ReceiverWorld {
protected:
    SettingsTest() : ReceiverWorld(Tables::Empty) {}
    RegistryKey UserKey() const { return Key(QStringLiteral("user.conf")); }
    RegistryKey MachineKey() const { return Key(QStringLiteral("machine.conf")); }
    RegistryKey Key(const QString& file) const {
        return RegistryKey(env.File(file), TSettingsWrapper::KeyPath());
    }
    std::unique_ptr<TSettingsWrapper> Open(
        int top = 0, int width = 1920, const QString& machine = QStringLiteral("machine.conf")) {
        return std::make_unique<TSettingsWrapper>(UserKey(), Key(machine), tables, top, width);
    }
    std::int32_t Service(std::uint32_t sid, const QString& label, double frequency = k12B) {
        return tables.AddService(sid, 0, label, u'A', 0, frequency);
    }
};

QStringList Texts(const TListEntries& list) {
    QStringList texts;
    for (const auto& e : list) {
        texts.append(e.Text);
    }
    return texts;
}

}  // namespace

// A clean start creates the nine defaults, in order, each in its own hive: per-user values in
// the user's file only, the server's in the machine-wide one.
TEST_F(SettingsTest, CreatesDefaultsOnCleanStart) {
    auto s = Open(10, 1920);
    const struct {
        SettingName name;
        int value;
        bool machine;
    } defaults[] = {{Setting::Width, 320, false},
                    {Setting::Top, 58, false},
                    {Setting::Left, 1552, false},
                    {Setting::RecentCount, 5, false},
                    {Setting::ScrollSpeed, 20, false},
                    {Setting::ScrollJump, 1, false},
                    {Setting::ShowSecondaryServices, 0, false},
                    {Setting::ServerPort, 8080, true}};
    for (const auto& d : defaults) {
        const QString name = d.name.Text();
        EXPECT_EQ(s->ReadInteger(d.name), d.value) << name.toStdString();
        EXPECT_EQ(MachineKey().ValueExists(name), d.machine) << name.toStdString();
        EXPECT_EQ(UserKey().ValueExists(name), !d.machine) << name.toStdString();
    }
    EXPECT_TRUE(QRegularExpression("^[0-9a-zA-Z]{16}$")
                    .match(MachineKey().ReadString(QStringLiteral("ServerPassword")))
                    .hasMatch());

    QFile user(UserKey().File());
    ASSERT_TRUE(user.open(QIODevice::ReadOnly));
    const QByteArray text = user.readAll();
    qsizetype last = -1;
    for (const auto& d : defaults) {
        const qsizetype at = text.indexOf("\"" + d.name.Text().toLatin1() + "\"=");
        EXPECT_TRUE(d.machine || at > last) << d.name.Text().toStdString();
        last = d.machine ? last : at;
    }
}

// A second start leaves every existing value alone, a changed password included.
TEST_F(SettingsTest, SecondStartKeepsValues) {
    Open()->WriteString(Setting::ServerPassword, "mine");
    {
        auto s = Open();
        s->WriteInteger(Setting::Width, 500);
        s->WriteInteger(Setting::ServerPort, 0);
    }
    auto s = Open(100, 800);
    EXPECT_EQ(s->ReadString(Setting::ServerPassword), QStringLiteral("mine"));
    EXPECT_EQ(s->ReadInteger(Setting::Width), 500);
    EXPECT_EQ(s->ReadInteger(Setting::Left), 1920 - 368);
    EXPECT_EQ(s->ReadInteger(Setting::ServerPort), 0);
}

// Hive choice by exact name, missing values read empty, booleans as integers, and a value of the
// other type reads as the setting's default.
TEST_F(SettingsTest, TypedAccess) {
    auto s = Open();
    EXPECT_FALSE(TSettingsWrapper::IsMachineWide(SettingName("serverport")));

    EXPECT_EQ(s->ReadString(Setting::Playing), QString());
    EXPECT_EQ(s->ReadInteger(Setting::BitRate), 0);
    EXPECT_FALSE(s->ReadBool(Setting::TimerEnabled));
    s->WriteBool(Setting::TimerEnabled, true);
    EXPECT_EQ(MachineKey().ReadInteger("TimerEnabled"), 1);
    EXPECT_TRUE(s->ReadBool(Setting::TimerEnabled));
    s->WriteInteger(Setting::HideBar, 7);
    EXPECT_TRUE(s->ReadBool(Setting::HideBar));

    s->WriteString(Setting::Width, "wide");
    EXPECT_EQ(s->ReadInteger(Setting::Width), 320);
}

// Passwords have the asked length and use exactly the 62 letters and digits.
TEST_F(SettingsTest, PasswordAlphabet) {
    const QString long_ = TSettingsWrapper::GeneratePassword(4000);
    ASSERT_EQ(long_.size(), 4000);
    QSet<QChar> seen(long_.begin(), long_.end());
    EXPECT_EQ(seen.size(), 62);
    for (QChar c : seen) {
        EXPECT_TRUE((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') ||
                    (c >= u'A' && c <= u'Z'))
            << static_cast<int>(c.unicode());
    }
    EXPECT_NE(TSettingsWrapper::GeneratePassword(16), TSettingsWrapper::GeneratePassword(16));
}

// Recents: newest first, at most 16, a repeat moves to the front, the display list is trimmed
// to "RecentCount" (none when 0 or negative) and numbered after trimming; hidden recents (an
// unknown key, a service without frequency) take no number.
TEST_F(SettingsTest, Recents) {
    auto s = Open();
    s->AddRecent(0);
    EXPECT_FALSE(s->ValueExists(Setting::Recents));
    QList<std::int32_t> ids;
    for (std::uint32_t i = 1; i <= 17; ++i) {
        ids.append(Service(0x1000 + i, QStringLiteral("S%1").arg(i)));
        s->AddRecent(ids.back());
    }
    QStringList stored = s->ReadString(Setting::Recents).split(u',');
    ASSERT_EQ(stored.size(), 16);
    EXPECT_EQ(stored.front(), QStringLiteral("$1011"));
    EXPECT_EQ(stored.back(), QStringLiteral("$1002"));

    s->AddRecent(ids[5]);
    stored = s->ReadString(Setting::Recents).split(u',');
    EXPECT_EQ(stored.size(), 16);
    EXPECT_EQ(stored.front(), QStringLiteral("$1006"));
    EXPECT_EQ(stored.count(QStringLiteral("$1006")), 1);

    TListEntries list;
    s->GetRecents(list, true);
    EXPECT_EQ(Texts(list), (QStringList{"1 S6", "2 S17", "3 S16", "4 S15", "5 S14"}));
    EXPECT_EQ(list[0].Object, ids[5]);
    s->GetRecents(list, false);
    EXPECT_EQ(list.first().Text, QStringLiteral("S6"));

    ASSERT_NE(Service(0xB, QStringLiteral("NoFrequency"), 0), 0);
    s->WriteString(Setting::Recents, "$0BAD,$000B,$1001");
    s->GetRecents(list, true);
    EXPECT_EQ(list, (TListEntries{{QStringLiteral("1 S1"), ids[0]}}));

    for (const int count : {0, -1}) {
        s->WriteInteger(Setting::RecentCount, count);
        s->GetRecents(list, true);
        EXPECT_TRUE(list.isEmpty()) << count;
    }
}

// Favourites keep insertion order in storage, show sorted by label, compare keys ignoring case,
// and a favourite whose service is missing is hidden but kept until the service returns.
TEST_F(SettingsTest, Favourites) {
    auto s = Open();
    const auto b = Service(0xC0DE, QStringLiteral("bravo"));
    const auto a = Service(0xC1A2, QStringLiteral("Alpha"));
    s->SetFavourite(b, true);
    s->SetFavourite(a, true);
    s->SetFavourite(a, true);
    EXPECT_EQ(s->ReadString(Setting::Favourites), QStringLiteral("$C0DE,$C1A2"));
    TListEntries list;

    s->WriteString(Setting::Favourites, "$c0de,$BEEF");
    EXPECT_TRUE(s->IsFavourite(b));
    EXPECT_FALSE(s->IsFavourite(a));
    s->SetFavourite(b, true);
    EXPECT_EQ(s->ReadString(Setting::Favourites), QStringLiteral("$c0de,$BEEF"));
    s->GetFavourites(list);
    EXPECT_EQ(Texts(list), QStringList{"bravo"});

    const auto back = Service(0xBEEF, QStringLiteral("Back again"));
    s->GetFavourites(list);
    EXPECT_EQ(list,
              (TListEntries{{QStringLiteral("Back again"), back}, {QStringLiteral("bravo"), b}}));

    s->SetFavourite(b, false);
    EXPECT_EQ(s->ReadString(Setting::Favourites), QStringLiteral("$BEEF"));
}

// A machine-wide hive that refuses writes does not stop creation; later writes raise.
TEST_F(SettingsTest, RefusedMachineWrite) {
    QFile blocker(env.File("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    std::unique_ptr<TSettingsWrapper> s;
    ASSERT_NO_THROW(s = Open(0, 1024, QStringLiteral("blocker/Tunora.conf")));
    EXPECT_EQ(s->ReadInteger(Setting::Width), 320);
    EXPECT_EQ(s->ReadInteger(Setting::Left), 1024 - 368);
    EXPECT_FALSE(s->ValueExists(Setting::ServerPort));
    EXPECT_EQ(s->ReadInteger(Setting::ServerPort), 0);
    EXPECT_THROW(s->WriteInteger(Setting::ServerPort, 9000), RegistryError);
}

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "services/CsvFields.h"
#include "services/TServiceTablesWrapper.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestEnv.h"

namespace {

class ServiceTablesTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return env.ProgramDir() + u'/' + name; }
    void Write(const QString& name, const QByteArray& bytes) const {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray Read(const QString& name) const {
        QFile f(Path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    std::unique_ptr<TServiceTablesWrapper> Open() {
        return std::make_unique<TServiceTablesWrapper>(env.ProgramDir(), dialogs);
    }

    TestEnv env;
    ScriptedDialogs dialogs;
};

const QString kSaveError = "An error occurred when saving the service list.";

}  // namespace

// Saved files: quoted fields, CR LF, lines sorted as text ignoring case (1452.96 before 174.928);
// the stream writers give the same lines in table order, unsorted.
TEST_F(ServiceTablesTest, SavedFileBytes) {
    auto t = Open();
    t->AddService(0xC0DE, 0, "Radio One", u'A', 10, 225.648);
    t->AddService(0xC0DE, 128, "Say \"Hi\"", u' ', 0, 225.648);
    t->AddService(0xD1, 0, "beta", u'D', 0, 174.928);
    t->BuildChannelTable(1);
    QBuffer ensembles;
    ensembles.open(QIODevice::WriteOnly);
    t->WriteEnsembles(ensembles);
    EXPECT_TRUE(ensembles.data().startsWith("\"174.928\",\"5A\",\"2\",\"\"\r\n\"176.64\""));
    t->SetEnsembleLabel("Big \"Mux\"", 225.648);
    t->SaveTables();
    EXPECT_TRUE(dialogs.boxes.isEmpty());
    const QByteArray radioOne =
        "\"$C0DE\",\"0\",\"225.648\",\"Radio One\",\"A\",\"10\"\r\n"
        "\"$C0DE\",\"128\",\"225.648\",\"Say \"\"Hi\"\"\",\" \",\"0\"\r\n";
    const QByteArray beta = "\"$00D1\",\"0\",\"174.928\",\"beta\",\"D\",\"0\"\r\n";
    EXPECT_EQ(Read("Services.csv"), beta + radioOne);
    QBuffer services;
    services.open(QIODevice::WriteOnly);
    t->WriteServices(services);
    EXPECT_EQ(services.data(), radioOne + beta);
    const QStringList lines = SplitLines(Read("Ensemble.csv"));
    ASSERT_EQ(lines.size(), 61);
    EXPECT_EQ(lines[0], "\"1452.96\",\"LA\",\"2\",\"\"");
    EXPECT_EQ(lines[23], "\"174.928\",\"5A\",\"2\",\"\"");
    EXPECT_TRUE(lines.contains("\"225.648\",\"12B\",\"2\",\"Big \"\"Mux\"\"\""));
    // Nothing but the two tables is left in the folder (no temporary files).
    EXPECT_EQ(QDir(env.ProgramDir()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
              (QStringList{"Ensemble.csv", "Services.csv"}));
}

// Labels with quotes, commas, blanks, Latin-1 letters and characters beyond Latin-1 survive a
// save and reload (U+00FF comes back as a blank, a blank kind stays blank); the file stays
// Latin-1 byte for byte until a label needs UTF-8.
TEST_F(ServiceTablesTest, LabelsRoundTrip) {
    const struct {
        QString label, ensemble;
        QByteArray bytes;
    } cases[] = {{"  \"Q\", a,b  c\u00E9 ", " L ", "c\xE9 "},
                 {QStringLiteral("Radio Łódź Café"), QStringLiteral("Мир"), "Caf\xC3\xA9"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.toStdString());
        {
            auto t = Open();
            t->AddService(0x1001, 0, c.label, u' ', 3, 222.064);
            t->AddService(0x1002, 0, "x\u00FFy", u'T', 0, 222.064);
            t->AddEnsemble("C, \"1\"", 0, c.ensemble, 1452.816);
        }
        EXPECT_TRUE(Read("Services.csv").contains(c.bytes));
        auto t = Open();
        const std::int32_t a = t->FindService(0x1001, 0);
        ASSERT_NE(a, 0);
        EXPECT_EQ(t->GetServiceLabel(a), c.label);
        EXPECT_EQ(t->GetServiceKind(a), QChar(u' '));
        EXPECT_EQ(t->GetServiceProgrammeType(a), 3);
        EXPECT_EQ(t->GetServiceFrequency(a), 222.064);
        EXPECT_EQ(t->GetServiceLabel(t->FindService(0x1002, 0)), "x y");
        EXPECT_EQ(t->GetServiceKind(t->FindService(0x1002, 0)), QChar(u'T'));
        EXPECT_EQ(t->GetChannelName(1452.816), "C, \"1\"");
        EXPECT_EQ(t->GetEnsembleLabel(1452.816), c.ensemble);
        EXPECT_EQ(t->GetEnsembleState(1452.816), 0);
        t->ClearServices();
        t->SaveTables();
    }
}

// Reading: an empty line gives an SId 0 record, bad numbers give 0, and for duplicate pairs
// the first frequency wins while later non-empty values overwrite.
TEST_F(ServiceTablesTest, ReadingRules) {
    Write("Services.csv",
          "\"$C0DE\",\"0\",\"225.648\",\"First\",\"A\",\"10\"\r\n"
          "\r\n"
          "\"$C0DE\",\"0\",\"174.928\",\"Second\",\"\",\"0\"\r\n"
          "\"$C0DE\",\"0\",\"1.5\",\"\",\"D\",\"4\"\r\n"
          "\"zz\",\"x\",\"abc\",\"Bad\",\"A\",\"q\"\n"
          "\"$0BAD\",\"$81\"\r\n");
    auto t = Open();
    const auto records = t->Services();
    ASSERT_EQ(records.size(), 3);
    EXPECT_EQ(records[0].Frequency, 225.648);
    EXPECT_EQ(records[0].Label, "Second");
    EXPECT_EQ(records[0].Kind, QChar(u'D'));
    EXPECT_EQ(records[0].ProgrammeType, 4);
    // The empty line and the unreadable one are the same (0, 0) record.
    EXPECT_EQ(records[1].SId, 0u);
    EXPECT_EQ(records[1].Secondary, 0);
    EXPECT_EQ(records[1].Frequency, 0);
    EXPECT_EQ(records[1].Label, "Bad");
    EXPECT_EQ(records[2].SId, 0xBADu);
    EXPECT_EQ(records[2].Secondary, 0x81);
    EXPECT_EQ(records[2].Kind, QChar(u' '));
    // SId 0 is never found by pair or key.
    EXPECT_EQ(t->FindService(0, 0), 0);
    EXPECT_EQ(t->FindServiceByKey("$0000"), 0);
    // No "Ensemble.csv": the UK channels again.
    EXPECT_EQ(t->Ensembles().size(), 7);
    // The unreadable lines were noticed (the backup itself is pinned below).
    EXPECT_EQ(dialogs.boxes.size(), 1);
}

// A table file that a lenient read would not write back whole (garbage, a truncated line, an
// unreadable number, unquoted fields) is copied byte for byte to a dated ".bad" file beside it
// and the user told once, before the save replaces it; a file as the program writes it is not.
TEST_F(ServiceTablesTest, DamagedFileIsKeptBeforeItIsReplaced) {
    QByteArray garbage(65536, '\0');
    for (int i = 0; i < garbage.size(); ++i) {
        garbage[i] = static_cast<char>((i * 7919) >> 3);
    }
    const std::pair<const char*, QByteArray> cases[] = {
        {"Services.csv", garbage},
        {"Services.csv", "\"$C0DE\",\"0\",\"225.648\",\"Radio\xFFOne\",\" \",\"10\"\r\n\"$C1"},
        {"Services.csv", "\"$C0DE\",\"0\",\"225,648\",\"Radio One\",\"A\",\"10\"\r\n"},
        {"Ensemble.csv", "\"225.648\",\"12B\",\"2\",\"\"\r\n225.648,12B,2,\r\n"}};
    int n = 0;
    for (const auto& [file, bytes] : cases) {
        const QString folder = env.File(QString::number(++n));
        QDir().mkpath(folder);
        QFile damaged(folder + u'/' + file);
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write(bytes);
        damaged.close();
        auto t = std::make_unique<TServiceTablesWrapper>(folder, dialogs);
        t->LoadTables();
        const QStringList kept = QDir(folder).entryList({QStringLiteral("*.bad")});
        ASSERT_EQ(kept.size(), 1) << file;
        EXPECT_TRUE(dialogs.Shown(1, DialogKind::Warning,
                                  file +
                                      QStringLiteral(" could not be read completely.\n\rIt was "
                                                     "kept as ") +
                                      kept[0] + " before being replaced with what could be read.",
                                  DialogButtons::Ok));
        t.reset();
        QFile backup(folder + u'/' + kept[0]);
        ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
        EXPECT_EQ(backup.readAll(), bytes);
        EXPECT_TRUE(damaged.open(QIODevice::ReadOnly));
        EXPECT_NE(damaged.readAll(), bytes);
        dialogs.boxes = {};
    }
}

// AddService keeps the first frequency, and reloading gives new handles so old ones find nothing.
TEST_F(ServiceTablesTest, HandlesAndFrequencies) {
    auto t = Open();
    const std::int32_t a = t->AddService(0xC0DE, 0, "One", u'A', 1, 225.648);
    const std::int32_t b = t->AddService(0xC1A2, 0, "Two", u'A', 1, 225.648);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    EXPECT_EQ(t->AddService(0xC0DE, 0, QString(), u' ', 0, 1452.96), a);
    EXPECT_EQ(t->GetServiceFrequency(a), 225.648);
    EXPECT_EQ(t->GetServiceLabel(a), "One");
    t->SaveTables();
    t->LoadTables();
    EXPECT_EQ(t->GetServiceLabel(a), QString());
    EXPECT_EQ(t->GetServiceLabel(b), QString());
    const std::int32_t again = t->FindService(0xC0DE, 0);
    EXPECT_GT(again, b);
    EXPECT_EQ(t->GetServiceLabel(again), "One");
}

// Secondary numbers start at 128 per SId, grow per new label and are found again after reload.
TEST_F(ServiceTablesTest, AllocateSecondary) {
    {
        auto t = Open();
        EXPECT_EQ(t->AllocateSecondary(0xC0DE, "Extra", false), -1);
        t->AddService(0xC0DE, 0, "Main", u'A', 0, 225.648);
        EXPECT_EQ(t->AllocateSecondary(0xC0DE, "Main", true), 0);
        const std::int32_t first = t->AllocateSecondary(0xC0DE, "Extra", true);
        EXPECT_EQ(first, 128);
        t->AddService(0xC0DE, first, "Extra", u'A', 0, 225.648);
        EXPECT_EQ(t->AllocateSecondary(0xC0DE, "Extra", true), 128);
        const std::int32_t second = t->AllocateSecondary(0xC0DE, "More", true);
        EXPECT_EQ(second, 129);
        t->AddService(0xC0DE, second, "More", u'A', 0, 225.648);
        EXPECT_EQ(t->AllocateSecondary(0xC1A2, "Extra", true), 128);
    }
    auto t = Open();
    EXPECT_EQ(t->AllocateSecondary(0xC0DE, "More", false), 129);
    EXPECT_EQ(t->AllocateSecondary(0xC0DE, "Extra", true), 128);
    EXPECT_EQ(t->AllocateSecondary(0xC0DE, "New", true), 130);
}

// Keys in both forms, parsing with every separator in its order of precedence, and finding.
TEST_F(ServiceTablesTest, KeysParseAndFind) {
    auto t = Open();
    t->AddService(0xC0DE, 0, "Main", u'A', 0, 1.0);
    const std::int32_t sec = t->AddService(0xC0DE, 128, "Sec", u'A', 0, 1.0);
    const std::int32_t small = t->AddService(0x12, 0, "Small", u'A', 0, 1.0);
    const std::int32_t big = t->AddService(0xE1C0DE01, 0, "Data", u'D', 0, 1.0);
    EXPECT_EQ(t->GetServiceKey(sec, true, u':'), "$C0DE:128");
    EXPECT_EQ(t->GetServiceKey(sec, false, u'_'), "49374_128");
    EXPECT_EQ(t->GetServiceKey(small, true, u':'), "$0012");
    EXPECT_EQ(t->GetServiceKey(big, true, u':'), "$E1C0DE01");
    EXPECT_EQ(t->GetServiceKey(999, false, u'_'), "0");

    // ":" is tried before "_" wherever it stands, then ".", "-", "/" and "\\"; unreadable
    // parts are 0.
    const struct {
        const char* key;
        std::uint32_t sid;
        std::int32_t secondary;
    } keys[] = {{"$C0DE:128", 0xC0DE, 128},
                {"49374_128", 0xC0DE, 128},
                {"$C0DE", 0xC0DE, 0},
                {"7.8", 7, 8},
                {"7-8", 7, 8},
                {"7/8", 7, 8},
                {"7\\8", 7, 8},
                {"1_2:3", 0, 3},
                {"radio", 0, 0}};
    for (const auto& [key, sid, secondary] : keys) {
        EXPECT_EQ(TServiceTablesWrapper::ParseServiceKey(key), (TServiceKeyParts{sid, secondary}))
            << key;
    }
    EXPECT_EQ(t->FindServiceByKey(t->GetServiceKey(big, false, u'_')), big);
    EXPECT_EQ(t->FindServiceByKey("$C0DE:129"), 0);
    EXPECT_EQ(t->FindService(0xBEEF, 0), 0);
}

// Lookups answer the record's values, the display name of a secondary names its primary, and a
// missing handle gives the "not found" values.
TEST_F(ServiceTablesTest, LookupsAndFallbacks) {
    auto t = Open();
    const std::int32_t main = t->AddService(0xC0DE, 0, "Main", u'A', 1, 225.648);
    const std::int32_t sec = t->AddService(0xC0DE, 128, "Sport", u'A', 4, 225.648);
    const std::int32_t off = t->AddService(0xD00D, 0, "Far", u'D', 0, 1500.5);
    EXPECT_EQ(t->GetServiceDisplayName(main), "Main");
    EXPECT_EQ(t->GetServiceDisplayName(sec), "Sport (Main secondary)");
    EXPECT_EQ(t->GetComponentLabel(main), QString());
    EXPECT_EQ(t->GetComponentLabel(sec), "Sport");
    EXPECT_EQ(t->GetServiceSId(sec), 0xC0DEu);
    EXPECT_EQ(t->GetServiceSecondary(sec), 128);
    EXPECT_EQ(t->GetServiceProgrammeTypeName(sec), "Sport");
    EXPECT_EQ(t->GetServiceChannel(main), "12B");
    EXPECT_EQ(t->GetServiceEnsembleLabel(main), "12B");
    t->SetEnsembleLabel("Mux", 225.648);
    EXPECT_EQ(t->GetServiceEnsembleLabel(main), "Mux");
    EXPECT_EQ(t->GetServiceChannel(off), "1500.5 MHz");
    EXPECT_EQ(t->GetServiceEnsembleLabel(off), "1500.5 MHz");

    const std::int32_t missing = 4242;
    EXPECT_EQ(t->GetServiceLabel(missing), QString());
    EXPECT_EQ(t->GetServiceDisplayName(missing), QString());
    EXPECT_EQ(t->GetServiceSId(missing), 0u);
    EXPECT_EQ(t->GetServiceFrequency(missing), 0);
    EXPECT_EQ(t->GetServiceKind(missing), QChar(u' '));
    EXPECT_EQ(t->GetServiceProgrammeTypeName(missing), QString());
    EXPECT_EQ(t->GetServiceChannel(missing), "0 MHz");
}

// Ensemble changes: label and state set or append, 0 and empty are ignored, AddEnsemble replaces.
TEST_F(ServiceTablesTest, EnsembleOperations) {
    auto t = Open();
    t->SetEnsembleLabel("Ignored", 0);
    t->SetEnsembleLabel(QString(), 218.640);
    t->SetEnsembleState(0, 0);
    EXPECT_EQ(t->Ensembles().size(), 7);
    EXPECT_EQ(t->GetEnsembleLabel(218.640), "11B");

    t->SetEnsembleLabel("New", 1500.0);
    t->SetEnsembleState(0, 1600.0);
    t->SetEnsembleState(0, 218.640);
    auto e = t->Ensembles();
    ASSERT_EQ(e.size(), 9);
    EXPECT_EQ(e[7].Frequency, 1500.0);
    EXPECT_EQ(e[7].State, 2);
    EXPECT_EQ(e[7].Channel, QString());
    EXPECT_EQ(e[8].State, 0);
    EXPECT_EQ(e[8].Label, QString());
    EXPECT_EQ(t->GetEnsembleState(218.640), 0);
    EXPECT_EQ(t->GetEnsembleState(218.641), 0);
    EXPECT_EQ(t->GetEnsembleState(222.064), 2);

    t->AddEnsemble("X", 1, "Moved", 218.640);
    e = t->Ensembles();
    ASSERT_EQ(e.size(), 9);
    EXPECT_EQ(e.back().Channel, "X");
    EXPECT_EQ(e.front().Channel, "11C");
}

// Rebuilding with the Canadian set drops every Band III channel and every learnt label.
TEST_F(ServiceTablesTest, RebuildChannelTable) {
    auto t = Open();
    t->SetEnsembleLabel("Learnt", 225.648);
    t->BuildChannelTable(2);
    auto e = t->Ensembles();
    ASSERT_EQ(e.size(), 23);
    EXPECT_EQ(e.front().Frequency, 1452.816);
    EXPECT_EQ(t->GetChannelName(225.648), "225.648 MHz");
    for (const auto& r : e) {
        EXPECT_TRUE(r.Label.isEmpty());
        EXPECT_EQ(r.State, 2);
    }
    t->BuildChannelTable(7);
    EXPECT_TRUE(t->Ensembles().isEmpty());
}

// Service lists filter by kind and secondary, build the text per mode and sort ignoring case.
TEST_F(ServiceTablesTest, ListServices) {
    auto t = Open();
    t->SetEnsembleLabel("Zeta Mux", 225.648);
    const auto b = t->AddService(0x1, 0, "bravo", u'A', 10, 225.648);
    const auto a = t->AddService(0x2, 0, "Alpha", u'A', 1, 218.640);
    const auto s = t->AddService(0x2, 128, "alpha two", u'A', 4, 218.640);
    t->AddService(0x3, 0, "Data", u'D', 0, 218.640);

    TListEntries list{{"stale", 9}};
    t->ListServices(list, u'A', false, 1);
    EXPECT_EQ(list, (TListEntries{{"Alpha", a}, {"bravo", b}}));
    t->ListServices(list, u'A', true, 1);
    EXPECT_EQ(list, (TListEntries{{"Alpha", a}, {"alpha two", s}, {"bravo", b}}));
    t->ListServices(list, u'A', true, 2);
    EXPECT_EQ(list, (TListEntries{{"Chart,bravo", b}, {"News,Alpha", a}, {"Sport,alpha two", s}}));
    t->ListServices(list, u'A', false, 3);
    EXPECT_EQ(list, (TListEntries{{"11B,Alpha", a}, {"Zeta Mux,bravo", b}}));
    t->ListServices(list, u' ', false, 1);
    EXPECT_EQ(list.size(), 3);
    EXPECT_EQ(t->CountServices(u'A'), 3);
    EXPECT_EQ(t->CountServices(u'D'), 1);
    EXPECT_EQ(t->CountServices(u' '), 4);
}

// Ensemble lists: detailed lines pad the frequency to nine characters; objects are kHz.
TEST_F(ServiceTablesTest, ListEnsembles) {
    auto t = Open();
    t->BuildChannelTable(7);
    t->AddEnsemble("12B", 2, "Mux", 225.648);
    t->AddEnsemble(QString(), 0, QString(), 1452.96);
    t->AddEnsemble(QString(), 2, QString(), 0);
    t->AddEnsemble("LW", 1, QString(), 1490.624);

    TListEntries list;
    t->ListEnsembles(list, false, true);
    EXPECT_EQ(list,
              (TListEntries{{"225.648  MHz 12B (Mux)", 225648}, {"1490.624 MHz LW", 1490624}}));
    t->ListEnsembles(list, true, false);
    EXPECT_EQ(list,
              (TListEntries{{"Mux", 225648}, {"1452.96 MHz", 1452960}, {"1490.624 MHz", 1490624}}));
}

// A file that cannot be replaced shows the error box once, the other file is still written and
// the tables in memory stay as they were.
TEST_F(ServiceTablesTest, SaveFailureReportsAndGoesOn) {
    auto t = Open();
    const auto id = t->AddService(0xC0DE, 0, "Kept", u'A', 0, 225.648);
    ASSERT_TRUE(QDir(env.ProgramDir()).mkdir("Services.csv"));
    t->SaveTables();
    EXPECT_TRUE(dialogs.Shown(1, DialogKind::Error, kSaveError, DialogButtons::Abort));
    EXPECT_TRUE(Read("Ensemble.csv").startsWith("\"218.64\""));
    EXPECT_EQ(t->GetServiceLabel(id), "Kept");
    EXPECT_TRUE(QFileInfo(Path("Services.csv")).isDir());

    // The ensemble file failing too: one box per file.
    ASSERT_TRUE(QFile::remove(Path("Ensemble.csv")));
    ASSERT_TRUE(QDir(env.ProgramDir()).mkdir("Ensemble.csv"));
    t->SaveTables();
    EXPECT_EQ(dialogs.boxes.size(), 3);
    ASSERT_TRUE(QDir(env.ProgramDir()).rmdir("Services.csv"));
    ASSERT_TRUE(QDir(env.ProgramDir()).rmdir("Ensemble.csv"));
}

// Readers on other threads see whole tables while the main thread adds, reloads and rebuilds.
TEST_F(ServiceTablesTest, ConcurrentReadersAndWriter) {
    auto t = Open();
    for (std::uint32_t sid = 1; sid <= 50; ++sid) {
        t->AddService(sid, 0, QStringLiteral("S%1").arg(sid), u'A', 1, 225.648);
    }
    t->SaveTables();

    std::atomic<bool> stop{false};
    std::atomic<int> faults{0};
    std::atomic<long> rounds{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            while (!stop.load()) {
                TListEntries list;
                t->ListServices(list, u'A', true, 3);
                for (const auto& entry : list) {
                    // Every listed line names the service it carries, or the service is gone.
                    const QString label =
                        t->GetServiceLabel(static_cast<std::int32_t>(entry.Object));
                    if (!label.isEmpty() && !entry.Text.endsWith(u',' + label)) {
                        ++faults;
                    }
                }
                const std::int32_t id = t->FindServiceByKey("$0007");
                if (id != 0 && t->GetServiceSId(id) != 7 && t->GetServiceSId(id) != 0) {
                    ++faults;
                }
                QBuffer buffer;
                buffer.open(QIODevice::WriteOnly);
                t->WriteServices(buffer);
                for (const QString& line : SplitLines(buffer.data())) {
                    if (SplitFields(line, 7)[5].isEmpty()) {
                        ++faults;
                    }
                }
                t->ListEnsembles(list, true, true);
                ++rounds;
            }
        });
    }
    for (int i = 0; i < 200; ++i) {
        t->AddService(1000 + i, 0, QStringLiteral("N%1").arg(i), u'A', 2, 218.640);
        t->SetEnsembleLabel(QStringLiteral("L%1").arg(i), 218.640);
        if (i % 20 == 0) {
            t->LoadTables();
            t->BuildChannelTable(i % 3);
        }
    }
    while (rounds.load() < 30) {
        std::this_thread::yield();
    }
    stop = true;
    for (auto& r : readers) {
        r.join();
    }
    EXPECT_EQ(faults.load(), 0);
    EXPECT_GT(t->CountServices(u'A'), 50);
}

#include <gtest/gtest.h>

#include "services/TServiceTablesWrapper.h"
#include "shell/CommandLine.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestEnv.h"

namespace {

QStringList L(std::initializer_list<const char*> items) {
    QStringList out;
    for (const char* i : items) {
        out.append(QString::fromUtf8(i));
    }
    return out;
}

class CommandLineTables : public ::testing::Test {
protected:
    void SetUp() override {
        tables = std::make_unique<TServiceTablesWrapper>(env.ProgramDir(), dialogs);
        radio = tables->AddService(0xC0DE, 0, QStringLiteral("Radio One"), u'A', 10, 225.648);
        secondary = tables->AddService(0xC1A2, 128, QStringLiteral("Extra"), u'A', 0, 225.648);
        spaced = tables->AddService(0x1234, 0, QStringLiteral("Spaced"), u'A', 0, 225.648);
    }
    CommandLine::Action Run(const char* text) {
        return CommandLine::Interpret(QString::fromUtf8(text), *tables);
    }

    TestEnv env;
    ScriptedDialogs dialogs;
    std::unique_ptr<TServiceTablesWrapper> tables;
    std::int32_t radio = 0, secondary = 0, spaced = 0;
};

}  // namespace

// Items are upper-cased and separated by blanks or commas; quotes group and double inside.
TEST(CommandLineSplit, SeparatorsQuotesAndCase) {
    EXPECT_EQ(CommandLine::Split(QStringLiteral("  prog play $c0de")),
              L({"PROG", "PLAY", "$C0DE"}));
    EXPECT_EQ(CommandLine::Split(QStringLiteral("prog PLAY,$C0DE")), L({"PROG", "PLAY", "$C0DE"}));
    EXPECT_EQ(CommandLine::Split(QStringLiteral("prog , play ,  x")), L({"PROG", "PLAY", "X"}));
    EXPECT_EQ(CommandLine::Split(QStringLiteral("prog \"a b\" c")), L({"PROG", "A B", "C"}));
    EXPECT_EQ(CommandLine::Split(QStringLiteral("prog \"say \"\"hi\"\"\"")),
              L({"PROG", "SAY \"HI\""}));
    EXPECT_EQ(CommandLine::Split(QStringLiteral("a,,b")), L({"A", "", "B"}));
    EXPECT_EQ(CommandLine::Split(QStringLiteral("\t\r\n")), QStringList());
    EXPECT_EQ(CommandLine::Split(QStringLiteral("prog \"open")), L({"PROG", "OPEN"}));
    // Only a-z change case.
    EXPECT_EQ(CommandLine::Split(QStringLiteral("\u00e9t\u00e9")), L({"\u00e9T\u00e9"}));
}

// A NUL ends the text instead of stalling the scan.
TEST(CommandLineSplit, NulEndsTheText) {
    QString text = QStringLiteral("prog play");
    text.append(QChar(0));
    text.append(QStringLiteral("quiet"));
    EXPECT_EQ(CommandLine::Split(text), L({"PROG", "PLAY"}));
}

// Joining arguments quotes what would otherwise split, so Split gives them back (upper-cased).
TEST(CommandLineSplit, JoinRoundTrips) {
    const QStringList args = L({"/opt/my tunora/tunora", "PLAY", "$C0DE,1", "say \"x\"", ""});
    QStringList upper;
    for (const QString& a : args) {
        upper.append(a.toUpper());
    }
    EXPECT_EQ(CommandLine::Split(CommandLine::Join(args)), upper);
}

// The launcher's show options become the show command and leave the arguments.
TEST(CommandLineSplit, ShowCommandOptions) {
    QStringList a = L({"tunora", "--minimized", "PLAY", "$C0DE"});
    EXPECT_EQ(CommandLine::TakeShowCommand(a), 7);
    EXPECT_EQ(a, L({"tunora", "PLAY", "$C0DE"}));
    QStringList b = L({"tunora", "--maximized"});
    EXPECT_EQ(CommandLine::TakeShowCommand(b), 3);
    EXPECT_EQ(b, L({"tunora"}));
    QStringList c = L({"tunora", "NUL"});
    EXPECT_EQ(CommandLine::TakeShowCommand(c), 1);
    EXPECT_EQ(c.size(), 2);
}

// A lone key starts its service; a lone unknown word is invalid.
TEST_F(CommandLineTables, LoneKeyOrInvalidWord) {
    EXPECT_EQ(Run("prog $C0DE").serviceId, radio);
    EXPECT_EQ(Run("prog $c0de").kind, CommandLine::Kind::Start);
    EXPECT_EQ(Run("prog $C1A2:128").serviceId, secondary);
    EXPECT_EQ(Run("prog 49570_128").serviceId, secondary);
    EXPECT_EQ(Run("prog FOO").kind, CommandLine::Kind::Invalid);
    // A key with anything after it is no longer a lone key.
    EXPECT_EQ(Run("prog $C0DE extra").kind, CommandLine::Kind::Invalid);
}

// PLAY starts the keyed service, or stops playing when the key is unknown; QUIET stops.
TEST_F(CommandLineTables, PlayAndQuiet) {
    EXPECT_EQ(Run("prog PLAY $C0DE").serviceId, radio);
    EXPECT_EQ(Run("prog play,$c0de").serviceId, radio);
    const CommandLine::Action unknown = Run("prog PLAY $BEEF");
    EXPECT_EQ(unknown.kind, CommandLine::Kind::Start);
    EXPECT_EQ(unknown.serviceId, 0);
    EXPECT_EQ(Run("prog PLAY RECODE").serviceId, 0);
    EXPECT_EQ(Run("prog PLAY").serviceId, 0);
    const CommandLine::Action quiet = Run("prog QUIET anything else");
    EXPECT_EQ(quiet.kind, CommandLine::Kind::Start);
    EXPECT_EQ(quiet.serviceId, 0);
}

// No item, an empty item, NUL and NILL do nothing.
TEST_F(CommandLineTables, DoNothingWords) {
    EXPECT_EQ(Run("prog").kind, CommandLine::Kind::Nothing);
    EXPECT_EQ(Run("prog NUL").kind, CommandLine::Kind::Nothing);
    EXPECT_EQ(Run("prog nill").kind, CommandLine::Kind::Nothing);
    EXPECT_EQ(Run("prog ,,PLAY").kind, CommandLine::Kind::Nothing);
    EXPECT_EQ(Run("prog ,PLAY").kind, CommandLine::Kind::Start);
    EXPECT_EQ(Run("").kind, CommandLine::Kind::Nothing);
}

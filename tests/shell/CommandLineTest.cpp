#include <gtest/gtest.h>

#include "shell/CommandLine.h"
#include "tests/support/ReceiverWorld.h"

namespace {

QStringList L(std::initializer_list<const char*> items) {
    QStringList out;
    for (const char* i : items) {
        out.append(QString::fromUtf8(i));
    }
    return out;
}

// Radio One, a secondary service (C1A2:128) and a third one in the tables.
class CommandLineTables : public ::testing::Test, public ReceiverWorld {
protected:
    CommandLineTables() {
        secondary = tables.AddService(0xC1A2, 128, QStringLiteral("Extra"), u'A', 0, k12B);
        tables.AddService(0x1234, 0, QStringLiteral("Spaced"), u'A', 0, k12B);
    }
    std::int32_t secondary = 0;
};

}  // namespace

// Items are upper-cased (only a-z) and separated by blanks or commas; quotes group and double
// inside; a NUL ends the text instead of stalling the scan.
TEST(CommandLineSplit, SeparatorsQuotesAndCase) {
    const std::pair<QString, QStringList> cases[] = {
        {QStringLiteral("  prog play $c0de"), L({"PROG", "PLAY", "$C0DE"})},
        {QStringLiteral("prog PLAY,$C0DE"), L({"PROG", "PLAY", "$C0DE"})},
        {QStringLiteral("prog , play ,  x"), L({"PROG", "PLAY", "X"})},
        {QStringLiteral("prog \"a b\" c"), L({"PROG", "A B", "C"})},
        {QStringLiteral("prog \"say \"\"hi\"\"\""), L({"PROG", "SAY \"HI\""})},
        {QStringLiteral("a,,b"), L({"A", "", "B"})},
        {QStringLiteral("\t\r\n"), QStringList()},
        {QStringLiteral("prog \"open"), L({"PROG", "OPEN"})},
        {QStringLiteral("\u00e9t\u00e9"), L({"\u00e9T\u00e9"})},
        {QStringLiteral("prog play") + QChar(0) + QStringLiteral("quiet"), L({"PROG", "PLAY"})},
    };
    for (const auto& [text, items] : cases) {
        EXPECT_EQ(CommandLine::Split(text), items) << text.toStdString();
    }
}

// Joining arguments quotes what would otherwise split, so Split gives them back (upper-cased).
TEST(CommandLineSplit, JoinRoundTrips) {
    const QStringList args = L({"/opt/my,tunora/tunora", "PLAY", "$C0DE 1", "say \"x\"", ""});
    QStringList upper;
    for (const QString& a : args) {
        upper.append(a.toUpper());
    }
    EXPECT_EQ(CommandLine::Split(CommandLine::Join(args)), upper);
}

// The launcher's show options become the show command and leave the arguments.
TEST(CommandLineSplit, ShowCommandOptions) {
    const struct {
        QStringList arguments;
        int command;
        QStringList left;
    } cases[] = {{L({"tunora", "--minimized", "PLAY", "$C0DE"}), 7, L({"tunora", "PLAY", "$C0DE"})},
                 {L({"tunora", "--maximized"}), 3, L({"tunora"})},
                 {L({"tunora", "NUL"}), 1, L({"tunora", "NUL"})}};
    for (auto c : cases) {
        EXPECT_EQ(CommandLine::TakeShowCommand(c.arguments), c.command);
        EXPECT_EQ(c.arguments, c.left);
    }
}

// A lone key starts its service and a lone unknown word is invalid; PLAY starts the keyed
// service, or stops playing when the key is unknown; QUIET stops; no item, an empty item, NUL,
// NILL and the wake-up timer's TIMERWAKEUP do nothing.
TEST_F(CommandLineTables, InterpretsTheWords) {
    using K = CommandLine::Kind;
    const struct {
        const char* text;
        K kind;
        std::int32_t service;
    } cases[] = {
        {"prog $C0DE", K::Start, radioOne},
        {"prog $C1A2:128", K::Start, secondary},
        {"prog 49570_128", K::Start, secondary},
        {"prog FOO", K::Invalid, 0},
        {"prog $C0DE extra", K::Invalid, 0},  // no longer a lone key
        {"prog PLAY $C0DE", K::Start, radioOne},
        {"prog PLAY $BEEF", K::Start, 0},
        {"prog PLAY RECODE", K::Start, 0},
        {"prog PLAY", K::Start, 0},
        {"prog QUIET anything else", K::Start, 0},
        {"prog", K::Nothing, 0},
        {"prog NUL", K::Nothing, 0},
        {"prog nill", K::Nothing, 0},
        {"prog TimerWakeup", K::Nothing, 0},
        {"prog ,,PLAY", K::Nothing, 0},
        {"prog ,PLAY", K::Start, 0},
        {"", K::Nothing, 0},
    };
    for (const auto& c : cases) {
        const CommandLine::Action action =
            CommandLine::Interpret(QString::fromUtf8(c.text), tables);
        EXPECT_EQ(action.kind, c.kind) << c.text;
        EXPECT_EQ(action.serviceId, c.service) << c.text;
    }
}

// Arguments as the shell passes them: a comma inside one separates words as a blank does, also
// next to a blank, while a comma in the program's path does not.
TEST_F(CommandLineTables, CommaInAnArgumentSeparatesWords) {
    const std::pair<QStringList, std::int32_t> cases[] = {
        {L({"tunora", "PLAY,$C0DE"}), radioOne},
        {L({"tunora", "play,$c1a2:128"}), secondary},
        {L({"tunora", "PLAY,", "$C0DE"}), radioOne},
        {L({"tunora", "PLAY,,$C0DE"}), 0},
        {L({"tunora", "$C0DE,"}), radioOne},
        {L({"tunora", "QUIET,PLAY,$C0DE"}), 0},
        {L({"/opt/a,b/tunora", "PLAY", "$C0DE"}), radioOne}};
    for (const auto& [args, service] : cases) {
        const CommandLine::Action action = CommandLine::Interpret(CommandLine::Join(args), tables);
        EXPECT_EQ(action.kind, CommandLine::Kind::Start) << args.join(u' ').toStdString();
        EXPECT_EQ(action.serviceId, service) << args.join(u' ').toStdString();
    }
}

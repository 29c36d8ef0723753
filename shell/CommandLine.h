#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

class TServiceTablesWrapper;

// The program's command-line grammar: the words shortcuts and other programs rely on.
class CommandLine {
public:
    enum class Kind { Start, Nothing, Invalid };
    struct Action {
        Kind kind = Kind::Nothing;
        std::int32_t serviceId = 0;  // for Start; 0 stops playing
    };

    // Upper-cases a-z and splits into items: blanks or commas separate, double quotes group
    // (a doubled quote inside stands for one), two commas in a row give an empty item.
    static QStringList Split(const QString& text);

    // What a raw command line (program path first) asks for.
    static Action Interpret(const QString& text, const TServiceTablesWrapper& tables);

    // The raw command line of this process, rebuilt from its arguments as the user typed them:
    // items holding blanks, quotes or nothing are quoted, so Split gives them back; a comma in a
    // word separates words as it does in a typed line (PLAY,$C0DE), but the program's path is
    // quoted when it holds one.
    static QString Join(const QStringList& arguments);

    // Launcher options that stand for the shell's show command; removed from `arguments`.
    // Returns 7 for --minimized, 3 for --maximized, 1 (normal) otherwise.
    static int TakeShowCommand(QStringList& arguments);
};

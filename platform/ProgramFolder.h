#pragma once

#include <QString>

// Where the program lives and where it keeps its tables ("Services.csv", "Ensemble.csv",
// "Schedule.csv", "Icons/"). Paths use "/" and carry no trailing slash. Any thread.
class ProgramFolder {
public:
    // Full path of the running program file.
    static QString ExecutablePath();
    // $TUNORA_PROGRAM_DIR when set; else the executable's folder when it is writable; else
    // $XDG_DATA_HOME/tunora (default ~/.local/share/tunora), created when missing.
    static QString Path();
    // The same choice for a given executable path (Path() uses ExecutablePath()).
    static QString PathFor(const QString& executablePath);
};

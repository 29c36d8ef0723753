#pragma once

#include <QString>

class Dialogs;

// A data file that a lenient read could not take whole (a damaged line, or no reading at all)
// loses what was skipped when the program next saves it. Main thread.
class DamagedFile {
public:
    // Copies the file at `path` beside itself as "<name>.<yyyyMMdd-HHmmss>.bad" (moves it there
    // when it cannot be read at all, `readable` false) and tells the user through `dialogs`
    // where it went. Once per path and process: later calls for that path do nothing.
    static void Keep(const QString& path, bool readable, Dialogs& dialogs);
};

#pragma once

#include <QString>
#include <functional>
#include <optional>

// The one call site for every message box, save dialog and folder dialog of the program.
// The application installs a Qt implementation; tests install a scripted double; without a
// display the headless implementation answers every question negatively.
// Main thread only.

enum class DialogKind { Plain, Information, Warning, Error, Confirmation };

// The button sets a message box offers.
enum class DialogButtons {
    Ok,
    OkCancel,
    YesNo,
    YesNoCancel,
    Cancel,
    Abort,
    Ignore,
    AbortRetryIgnore
};

// The answer of a box: which button was pressed.
enum class DialogResult { Ok, Cancel, Yes, No, Abort, Retry, Ignore };

struct SaveFileRequest {
    QString title;
    QString initialDir;
    QString fileName;
    QString filter;       // "Name (*.ext)|*.ext|..." pairs as the caller builds them
    int filterIndex = 1;  // 1-based, as the caller gives it; the chosen one comes back here
    QString defaultExtension;
};

struct SaveFileAnswer {
    QString path;
    int filterIndex = 1;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    virtual DialogResult MessageBox(DialogKind kind, const QString& text,
                                    DialogButtons buttons) = 0;
    virtual std::optional<SaveFileAnswer> SaveFile(const SaveFileRequest& request) = 0;
    virtual std::optional<QString> BrowseFolder(const QString& title,
                                                const QString& initialDir) = 0;

    // The process-wide instance; never null (the headless one until another is installed).
    static Dialogs& Instance();
    // Installs `dialogs` (not owned; null restores the headless one). Returns the previous one.
    static Dialogs* Install(Dialogs* dialogs);

    // The answer a box takes when nobody can answer it: Cancel / No / Abort / Ignore.
    static DialogResult NegativeAnswer(DialogButtons buttons);
    static QString KindName(DialogKind kind);

    // Runs `work`; an exception it raises is shown as an error box with its text instead of
    // leaving a slot or timer handler, where it would end the program.
    static void ShowFailures(const std::function<void()>& work);
};

#pragma once

#include "platform/Dialogs.h"

// Without a display nobody can answer: each box becomes one line on standard error
// ("Tunora: <kind>: <text>" with line breaks shown as a blank) and takes its negative answer.
class HeadlessDialogs : public Dialogs {
public:
    DialogResult MessageBox(DialogKind kind, const QString& text, DialogButtons buttons) override;
    std::optional<SaveFileAnswer> SaveFile(const SaveFileRequest& request) override;
    std::optional<QString> BrowseFolder(const QString& title, const QString& initialDir) override;
};

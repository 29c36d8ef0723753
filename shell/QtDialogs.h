#pragma once

#include "platform/Dialogs.h"

class QWidget;

// Message boxes and file dialogs of the desktop session (main thread).
class QtDialogs : public Dialogs {
public:
    DialogResult MessageBox(DialogKind kind, const QString& text, DialogButtons buttons) override;
    std::optional<SaveFileAnswer> SaveFile(const SaveFileRequest& request) override;
    std::optional<QString> BrowseFolder(const QString& title, const QString& initialDir) override;
};

#pragma once

#include <QList>
#include <QString>
#include <deque>

#include "platform/Dialogs.h"

// Records every box and answers from a script (the negative answer when the script is empty).
// Installs itself as the process-wide dialogs for its lifetime.
class ScriptedDialogs : public Dialogs {
public:
    struct Box {
        DialogKind kind;
        QString text;
        DialogButtons buttons;
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;

    DialogResult MessageBox(DialogKind kind, const QString& text, DialogButtons buttons) override;
    std::optional<SaveFileAnswer> SaveFile(const SaveFileRequest& request) override;
    std::optional<QString> BrowseFolder(const QString& title, const QString& initialDir) override;

    std::deque<DialogResult> answers;
    std::deque<std::optional<SaveFileAnswer>> saveAnswers;
    std::deque<std::optional<QString>> folderAnswers;

    QList<Box> boxes;
    QList<SaveFileRequest> saveRequests;

private:
    Dialogs* previous_;
};

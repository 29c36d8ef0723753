#include "tests/support/ScriptedDialogs.h"

ScriptedDialogs::ScriptedDialogs() : previous_(Dialogs::Install(this)) {}

ScriptedDialogs::~ScriptedDialogs() {
    Dialogs::Install(previous_);
}

DialogResult ScriptedDialogs::MessageBox(DialogKind kind, const QString& text,
                                         DialogButtons buttons) {
    boxes.append({kind, text, buttons});
    if (answers.empty()) {
        return NegativeAnswer(buttons);
    }
    DialogResult r = answers.front();
    answers.pop_front();
    return r;
}

std::optional<SaveFileAnswer> ScriptedDialogs::SaveFile(const SaveFileRequest& request) {
    saveRequests.append(request);
    if (saveAnswers.empty()) {
        return std::nullopt;
    }
    auto r = saveAnswers.front();
    saveAnswers.pop_front();
    return r;
}

std::optional<QString> ScriptedDialogs::BrowseFolder(const QString&, const QString&) {
    if (folderAnswers.empty()) {
        return std::nullopt;
    }
    auto r = folderAnswers.front();
    folderAnswers.pop_front();
    return r;
}

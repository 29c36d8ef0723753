#include "tests/support/ScriptedDialogs.h"

qsizetype ScriptedDialogs::Boxes::size() const {
    seen_ = list_.size();
    return seen_;
}

const ScriptedDialogs::Box& ScriptedDialogs::Boxes::operator[](qsizetype i) const {
    seen_ = list_.size();
    return list_.at(i);
}

ScriptedDialogs::ScriptedDialogs() : previous_(Dialogs::Install(this)) {}

ScriptedDialogs::~ScriptedDialogs() {
    Dialogs::Install(previous_);
    for (qsizetype i = boxes.seen_; i < boxes.list_.size(); ++i) {
        const Box& box = boxes.list_[i];
        if (!box.scripted) {
            ADD_FAILURE() << "unexpected " << Dialogs::KindName(box.kind).toStdString()
                          << " box: " << box.text.toStdString();
        }
    }
}

::testing::AssertionResult ScriptedDialogs::Shown(qsizetype count, DialogKind kind,
                                                  const QString& text,
                                                  DialogButtons buttons) const {
    if (boxes.size() != count || count == 0) {
        return ::testing::AssertionFailure() << boxes.size() << " boxes, not " << count;
    }
    const Box& box = boxes.last();
    if (box.kind != kind || box.text != text || box.buttons != buttons) {
        return ::testing::AssertionFailure()
               << "the last box is " << Dialogs::KindName(box.kind).toStdString() << " \""
               << box.text.toStdString() << "\" with buttons " << static_cast<int>(box.buttons);
    }
    return ::testing::AssertionSuccess();
}

DialogResult ScriptedDialogs::MessageBox(DialogKind kind, const QString& text,
                                         DialogButtons buttons) {
    const bool scripted = !answers.empty();
    boxes.list_.append({kind, text, buttons, scripted});
    if (!scripted) {
        return NegativeAnswer(buttons);
    }
    const DialogResult r = answers.front();
    answers.pop_front();
    return r;
}

std::optional<SaveFileAnswer> ScriptedDialogs::SaveFile(const SaveFileRequest& request) {
    saveRequests.append(request);
    if (whileSaveOpen) {
        whileSaveOpen();
    }
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

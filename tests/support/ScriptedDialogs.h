#pragma once

#include <gtest/gtest.h>

#include <QList>
#include <QString>
#include <deque>
#include <functional>

#include "platform/Dialogs.h"

// Records every box and answers from a script. Installs itself as the process-wide dialogs for
// its lifetime. A box the script does not answer takes the negative answer and is unexpected:
// it fails the test (when the double goes) unless the test read `boxes` after it came, to judge
// it.
class ScriptedDialogs : public Dialogs {
public:
    struct Box {
        DialogKind kind;
        QString text;
        DialogButtons buttons;
        bool scripted;
    };
    // The boxes shown; reading them marks them as looked at.
    class Boxes {
    public:
        qsizetype size() const;
        bool isEmpty() const { return size() == 0; }
        const Box& operator[](qsizetype i) const;
        const Box& last() const { return (*this)[size() - 1]; }

    private:
        friend class ScriptedDialogs;
        QList<Box> list_;
        mutable qsizetype seen_ = 0;
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;

    DialogResult MessageBox(DialogKind kind, const QString& text, DialogButtons buttons) override;
    std::optional<SaveFileAnswer> SaveFile(const SaveFileRequest& request) override;
    std::optional<QString> BrowseFolder(const QString& title, const QString& initialDir) override;

    // Exactly `count` boxes so far, the last one this; marks them as looked at.
    ::testing::AssertionResult Shown(qsizetype count, DialogKind kind, const QString& text,
                                     DialogButtons buttons) const;

    std::deque<DialogResult> answers;
    std::deque<std::optional<SaveFileAnswer>> saveAnswers;
    std::deque<std::optional<QString>> folderAnswers;
    std::function<void()> whileSaveOpen;  // runs while the save dialog is "open"

    Boxes boxes;
    QList<SaveFileRequest> saveRequests;

private:
    Dialogs* previous_;
};

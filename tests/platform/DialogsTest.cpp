#include <gtest/gtest.h>

#include "platform/Dialogs.h"
#include "tests/support/ScriptedDialogs.h"

// A box nobody can answer takes the negative answer of its button set.
TEST(Dialogs, NegativeAnswerOfEachButtonSet) {
    EXPECT_EQ(Dialogs::NegativeAnswer(DialogButtons::OkCancel), DialogResult::Cancel);
    EXPECT_EQ(Dialogs::NegativeAnswer(DialogButtons::YesNo), DialogResult::No);
    EXPECT_EQ(Dialogs::NegativeAnswer(DialogButtons::YesNoCancel), DialogResult::Cancel);
    EXPECT_EQ(Dialogs::NegativeAnswer(DialogButtons::Abort), DialogResult::Abort);
    EXPECT_EQ(Dialogs::NegativeAnswer(DialogButtons::AbortRetryIgnore), DialogResult::Ignore);
    EXPECT_EQ(Dialogs::NegativeAnswer(DialogButtons::Ok), DialogResult::Ok);
}

// The headless dialogs write one line per box, with each "\n\r" line break folded to a blank.
TEST(Dialogs, HeadlessWritesOneLineAndAnswersNegatively) {
    testing::internal::CaptureStderr();
    DialogResult r = Dialogs::Instance().MessageBox(
        DialogKind::Error, "Drivers not installed.\n\rPlease", DialogButtons::Abort);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(r, DialogResult::Abort);
    EXPECT_EQ(err, "Tunora: error: Drivers not installed. Please\n");
}

// Installed dialogs take the boxes, and the dialogs they replaced come back when they go.
TEST(Dialogs, InstalledDialogsTakeTheBoxesUntilTheyGo) {
    {
        ScriptedDialogs scripted;
        scripted.answers.push_back(DialogResult::Yes);
        EXPECT_EQ(
            Dialogs::Instance().MessageBox(DialogKind::Confirmation, "Q?", DialogButtons::YesNo),
            DialogResult::Yes);
        ASSERT_EQ(scripted.boxes.size(), 1);
        EXPECT_EQ(scripted.boxes[0].text, "Q?");
    }
    testing::internal::CaptureStderr();
    Dialogs::Instance().MessageBox(DialogKind::Information, "x", DialogButtons::Ok);
    EXPECT_FALSE(testing::internal::GetCapturedStderr().empty());
}

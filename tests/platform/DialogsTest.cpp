#include <gtest/gtest.h>

#include "platform/Dialogs.h"

// A box nobody can answer takes the negative answer of its button set.
TEST(Dialogs, NegativeAnswerOfEachButtonSet) {
    EXPECT_EQ(Dialogs::NegativeAnswer(DialogButtons::OkCancel), DialogResult::Cancel);
    EXPECT_EQ(Dialogs::NegativeAnswer(DialogButtons::YesNo), DialogResult::No);
    EXPECT_EQ(Dialogs::NegativeAnswer(DialogButtons::YesNoCancel), DialogResult::Cancel);
    EXPECT_EQ(Dialogs::NegativeAnswer(DialogButtons::Abort), DialogResult::Abort);
    EXPECT_EQ(Dialogs::NegativeAnswer(DialogButtons::AbortRetryIgnore), DialogResult::Ignore);
    EXPECT_EQ(Dialogs::NegativeAnswer(DialogButtons::Ok), DialogResult::Ok);
}

// The headless dialogs write one line per box, with the design's "\n\r" breaks folded to a blank.
TEST(Dialogs, HeadlessWritesOneLineAndAnswersNegatively) {
    testing::internal::CaptureStderr();
    DialogResult r = Dialogs::Instance().MessageBox(
        DialogKind::Error, "Drivers not installed.\n\rPlease", DialogButtons::Abort);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(r, DialogResult::Abort);
    EXPECT_EQ(err, "Tunora: error: Drivers not installed. Please\n");
}

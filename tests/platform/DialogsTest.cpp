#include <gtest/gtest.h>

#include "platform/Dialogs.h"

// A box nobody can answer takes the negative answer of its button set.
TEST(Dialogs, NegativeAnswerOfEachButtonSet) {
    for (const auto& [buttons, answer] :
         {std::pair{DialogButtons::OkCancel, DialogResult::Cancel},
          std::pair{DialogButtons::YesNo, DialogResult::No},
          std::pair{DialogButtons::YesNoCancel, DialogResult::Cancel},
          std::pair{DialogButtons::AbortRetryIgnore, DialogResult::Ignore},
          std::pair{DialogButtons::Ok, DialogResult::Ok}}) {
        EXPECT_EQ(Dialogs::NegativeAnswer(buttons), answer);
    }
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

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "CodecTestSupport.h"
#include "recording/CodecAvailability.h"
#include "recording/TRecorderRecode.h"

// The tuning controller needs an application object; recordings use the build's codecs and the
// small RECODE program beside them.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ProbeCodecs(CodecFolder());
    TRecorderRecode::SetDefaultProgram(QStringLiteral(RECODE_CHILD));
    return RUN_ALL_TESTS();
}

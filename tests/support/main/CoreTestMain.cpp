#include <gtest/gtest.h>

#include <QCoreApplication>

// An application object on the main thread: the controller's and the minute timer, the hand-off
// of other threads' calls, and the build's program folder need one.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include <gtest/gtest.h>

#include <QCoreApplication>

// An application object on the main thread, for the controller's timer and hand-off and for
// finding the build's program folder.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

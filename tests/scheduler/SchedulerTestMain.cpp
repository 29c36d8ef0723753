#include <gtest/gtest.h>

#include <QCoreApplication>

// An application object on the main thread, for the minute timer and the controller's timer.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

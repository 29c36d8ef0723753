#include <gtest/gtest.h>

#include <QCoreApplication>

// Sessions hand their controller calls to the main thread: the tests pump its events while a
// client waits (see HTTPTestClient.h).
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// Test main: every test program runs with the private home of the build (settings, logs and photos
// never touch the developer's own) and with a QCoreApplication for its whole run, so code that hands
// work to the main thread or uses Qt's event loop behaves as it does in the program.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

int main(int argc, char **argv) {
    usePrivateTestHome();
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

// Test main: a QCoreApplication exists for the whole run, so code that hands work to the main thread
// or uses Qt's event loop behaves as it does in the program.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

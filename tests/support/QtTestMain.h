#pragma once

// The main of a Qt Test program for widgets: the build's private home (settings, logs and photos never
// touch the developer's own), the offscreen platform unless one is set, then one QApplication for the
// whole run.
#include <QApplication>
#include <QtTest>

#include "support/TestSupport.h"

#define KL_QTEST_MAIN(TestClass)                                                                             \
    int main(int argc, char **argv) {                                                                        \
        usePrivateTestHome();                                                                                \
        QApplication app(argc, argv);                                                                        \
        TestClass test;                                                                                      \
        return QTest::qExec(&test, argc, argv);                                                              \
    }

#pragma once

#include <QApplication>
#include <QTest>

// Window tests that hold an embedded browser need these set before the application exists.
#define QUILLON_UI_TEST_MAIN(TestObject)                                                           \
    int main(int argc, char* argv[]) {                                                             \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                                \
        QApplication app(argc, argv);                                                              \
        TestObject test;                                                                           \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

#pragma once

#include "webviews.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

// Window tests that hold an embedded browser run the web engine as the client does, which is
// set before the application object exists.
// The user's configuration and cache folders (history, station list) are a temporary one.
#define QUILLON_UI_TEST_MAIN(TestObject)                                                           \
    int main(int argc, char* argv[]) {                                                             \
        QTemporaryDir userFolders;                                                                 \
        qputenv("XDG_CONFIG_HOME", userFolders.filePath(QStringLiteral("config")).toLocal8Bit());  \
        qputenv("XDG_CACHE_HOME", userFolders.filePath(QStringLiteral("cache")).toLocal8Bit());    \
        prepareWebViews(); /* the web engine as the client runs it */                              \
        QApplication app(argc, argv);                                                              \
        TestObject test;                                                                           \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

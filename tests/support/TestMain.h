// Test entry: the program's own application object, so its error handler
// and title are what the tests see.
#pragma once

#include "platform/Application.h"

#include <QTemporaryDir>
#include <QTest>

#define QCY_TEST_MAIN(TestObject)                                              \
    int main(int argc, char *argv[])                                           \
    {                                                                          \
        /* The pages' storage goes to a folder of this run, never the      */ \
        /* user's, and never one another suite uses at the same time.      */ \
        QTemporaryDir data;                                                    \
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());                   \
        TApplication app(argc, argv);                                          \
        app.setTitle(QStringLiteral("晴川叶--轻松学英语"));                     \
        app.setAttribute(Qt::AA_Use96Dpi, true);                               \
        TestObject tc;                                                         \
        QTEST_SET_MAIN_SOURCE_PATH                                             \
        return QTest::qExec(&tc, argc, argv);                                  \
    }

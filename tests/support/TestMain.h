// Test entry: the program's own application object, so its error handler
// and title are what the tests see.
#pragma once

#include "platform/Application.h"

#include <QTest>

#define QCY_TEST_MAIN(TestObject)                                              \
    int main(int argc, char *argv[])                                           \
    {                                                                          \
        TApplication app(argc, argv);                                          \
        app.setTitle(QStringLiteral("晴川叶--轻松学英语"));                     \
        app.setAttribute(Qt::AA_Use96Dpi, true);                               \
        TestObject tc;                                                         \
        QTEST_SET_MAIN_SOURCE_PATH                                             \
        return QTest::qExec(&tc, argc, argv);                                  \
    }

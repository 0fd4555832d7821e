#pragma once

#include "temporaryhome.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTest>

namespace TestSupport
{
/** Sets the application identity Kestrove uses, so QSettings and paths match the real ones. */
void setApplicationIdentity();
/** Makes freedesktop icons resolve on the offscreen platform and under plain Xvfb. */
void setUpIconTheme();
/** The dark palette the screen pictures are taken in. */
QPalette darkPalette();
/** Pure black and white with yellow selection, as high-contrast themes have it. */
QPalette highContrastPalette();
/** The path of a built executable next to the tests (kestrove-cli, kestrove). */
QString executablePath(const QString &name);
}

/** Like QTEST_GUILESS_MAIN, with a private home set up before the application exists. */
#define KESTROVE_TEST_MAIN(TestObject)                                                                                 \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        TemporaryHome home;                                                                                            \
        QCoreApplication app(argc, argv);                                                                              \
        TestSupport::setApplicationIdentity();                                                                         \
        TestObject tc;                                                                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&tc, argc, argv);                                                                          \
    }

/** Like QTEST_MAIN for widget tests, with a private home; falls back to offscreen without a display. */
#define KESTROVE_GUI_TEST_MAIN(TestObject)                                                                             \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        TemporaryHome home;                                                                                            \
        if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))                  \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                                                   \
        QApplication app(argc, argv);                                                                                  \
        TestSupport::setApplicationIdentity();                                                                         \
        TestSupport::setUpIconTheme();                                                                                 \
        TestObject tc;                                                                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&tc, argc, argv);                                                                          \
    }

// The window tests need a QApplication before the first test; offscreen unless told otherwise.

#include "app/QtSpanish.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pontrel"));
    // As the program does, so the tests see that the system's boxes keep their "OK".
    pontrel::app::installSpanishQtTranslations(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

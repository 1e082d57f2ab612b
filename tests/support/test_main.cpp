// main() of every unit and widget test executable: a QApplication on the
// offscreen platform, with HOME and the XDG folders in a private temporary
// directory, so no test touches the user's files or settings.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "support/TestEnvironment.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QTemporaryDir home;
    pendra::test::usePrivateHome(home.path());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

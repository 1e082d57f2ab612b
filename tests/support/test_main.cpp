// main() of every unit and widget test executable: a QApplication on the
// offscreen platform, with HOME and the XDG folders in a private temporary
// directory, so no test touches the user's files or settings.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
        const QString sub = home.filePath(QString::fromLatin1(name).toLower());
        QDir().mkpath(sub);
        qputenv(name, sub.toUtf8());
    }
    // No sound server: unit tests see every sound fail the same way on any
    // machine; the session tests are where sounds are heard.
    qputenv("PULSE_SERVER", ("unix:" + home.filePath("no-sound-server")).toUtf8());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "FuzzSupport.h"

#include <fcntl.h>
#include <unistd.h>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <memory>

namespace pendra::fuzz {

namespace {
QString scratchDir;
}

void setUpProcess(int* argc, char*** argv, bool widgets) {
    static QTemporaryDir dir;
    scratchDir = dir.path() + QLatin1Char('/');
    const QByteArray home = dir.path().toUtf8();
    setenv("HOME", home.constData(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/config").constData(), 1);
    setenv("XDG_DATA_HOME", (home + "/data").constData(), 1);
    setenv("XDG_RUNTIME_DIR", home.constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The session bus of whoever runs the fuzzer is none of its business.
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    QDir().mkpath(dir.path() + QStringLiteral("/config/Zentho"));
    QDir().mkpath(dir.path() + QStringLiteral("/data/Pendra"));
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);
    if (widgets) {
        static std::unique_ptr<QApplication> app(new QApplication(*argc, *argv));
    } else {
        static std::unique_ptr<QCoreApplication> app(new QCoreApplication(*argc, *argv));
    }
    QCoreApplication::setOrganizationName(QStringLiteral("Zentho"));
    QCoreApplication::setApplicationName(QStringLiteral("Pendra"));
}

QString scratch() {
    return scratchDir;
}

}  // namespace pendra::fuzz

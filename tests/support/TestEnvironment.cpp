#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QSettings>
#include <QThread>
#include <functional>

namespace pendra::test {

void usePrivateHome(const QString& dir) {
    qputenv("HOME", dir.toUtf8());
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
        const QString sub = dir + "/" + QString::fromLatin1(name).toLower();
        QDir().mkpath(sub);
        qputenv(name, sub.toUtf8());
    }
    // No sound server: unit tests see every sound fail the same way on any
    // machine; the session tests are where sounds are heard.
    qputenv("PULSE_SERVER", ("unix:" + dir + "/no-sound-server").toUtf8());
}

void clearUserDefaults() {
    QSettings s(QStringLiteral("Zentho"), QStringLiteral("Pendra"));
    s.clear();
    s.sync();
}

bool waitUntil(const std::function<bool()>& pred, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!pred()) {
        if (deadline.hasExpired()) {
            return pred();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

}  // namespace pendra::test

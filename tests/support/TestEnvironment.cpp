#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSettings>
#include <QThread>
#include <functional>

namespace pendra::test {

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

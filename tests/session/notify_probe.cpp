// Drives the real notification center and desktop presenter for the session
// tests: reads "notify <identifier> <subtitle...>" and "withdraw <identifier>"
// lines on standard input and prints every callback on standard output.
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <memory>

#include "app/TestIntrospection.h"
#include "platform/DesktopPresenter.h"
#include "platform/Log.h"
#include "platform/UserNotificationCenter.h"

namespace {

class PrintingDelegate : public pendra::UserNotificationCenterDelegate {
public:
    void userNotificationCenterDidDeliver(pendra::UserNotificationCenter&,
                                          const pendra::UserNotificationPtr& n) override {
        pendra::printLine("deliver: " + n->identifier);
    }
    void userNotificationCenterDidActivate(pendra::UserNotificationCenter&,
                                           const pendra::UserNotificationPtr& n) override {
        pendra::printLine(
            QString("activate: %1 %2").arg(n->identifier).arg(int(n->activationType)));
    }
    void userNotificationCenterDidDismissAlert(pendra::UserNotificationCenter&,
                                               const pendra::UserNotificationPtr& n) override {
        pendra::printLine("dismiss: " + n->identifier);
    }
    bool userNotificationCenterShouldPresent(pendra::UserNotificationCenter&,
                                             const pendra::UserNotificationPtr&) override {
        return true;
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    pendra::UserNotificationCenter center(pendra::makeDesktopPresenter());
    PrintingDelegate delegate;
    center.setDelegate(&delegate);
    pendra::TestIntrospection introspection;
    QMap<QString, pendra::UserNotificationPtr> byId;

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray buffer;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char chunk[4096];
        const ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0) {
            QCoreApplication::quit();
            return;
        }
        buffer.append(chunk, n);
        qsizetype nl;
        while ((nl = buffer.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(buffer.left(nl));
            buffer.remove(0, nl + 1);
            const QString cmd = line.section(' ', 0, 0);
            const QString id = line.section(' ', 1, 1);
            if (cmd == "notify") {
                auto note = pendra::makeNotification();
                note->identifier = id;
                note->title = "Pendra";
                note->subtitle = line.section(' ', 2);
                note->actionButtonTitle = "Snooze";
                note->otherButtonTitle = "Dismiss";
                byId[id] = note;
                center.deliverNotification(note);
            } else if (cmd == "withdraw" && byId.contains(id)) {
                center.removeDeliveredNotification(byId[id]);
                pendra::printLine("withdrawn: " + id);
            }
        }
    });
    pendra::printLine("probe-ready");
    return QApplication::exec();
}

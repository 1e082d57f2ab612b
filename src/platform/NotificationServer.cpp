#include "platform/NotificationServer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QTimer>

#include "platform/Log.h"

namespace pendra {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// Long enough that a server which wakes from a hang still reports the id of
// what it showed late, so that it can be taken off the screen again.
constexpr int kNotifyTimeoutMs = 10 * 60 * 1000;

QDBusMessage serverCall(const QString& method, const QVariantList& args) {
    QDBusMessage m = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    m.setArguments(args);
    // Never start a server through D-Bus activation behind the user's back
    // (a second dunst, say): only one that runs is asked.
    m.setAutoStartService(false);
    return m;
}

class SessionBusNotificationServer final : public QObject, public NotificationServer {
    Q_OBJECT
public:
    SessionBusNotificationServer() : bus_(QDBusConnection::sessionBus()) {
        if (!bus_.isConnected()) {
            return;
        }
        // Any sender: fromServer() checks it against the name's current owner,
        // so a stray signal from another client is seen and ignored.
        bus_.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                     SLOT(onActionInvoked(uint, QString, QDBusMessage)));
        bus_.connect(QString(), kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                     SLOT(onNotificationClosed(uint, uint, QDBusMessage)));
        auto* watcher =
            new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString&, const QString&, const QString& newOwner) {
                    owner_ = newOwner;
                    if (handlers_.ownerChanged) {
                        handlers_.ownerChanged(!newOwner.isEmpty());
                    }
                });
        QDBusMessage owner = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetNameOwner"));
        owner << kService;
        send(owner, -1, [this](const QDBusMessage& reply) {
            if (owner_.isEmpty() && reply.type() == QDBusMessage::ReplyMessage) {
                owner_ = reply.arguments().value(0).toString();
            }
        });
    }

    void setHandlers(Handlers handlers) override { handlers_ = std::move(handlers); }

    void getCapabilities() override {
        send(serverCall(QStringLiteral("GetCapabilities"), {}), -1,
             [this](const QDBusMessage& reply) {
                 if (!handlers_.capabilities) {
                     return;
                 }
                 if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
                     handlers_.capabilities(std::nullopt);
                 } else {
                     handlers_.capabilities(reply.arguments().first().toStringList());
                 }
             });
    }

    void notify(quint64 ticket, const Message& m) override {
        const QDBusMessage call =
            serverCall(QStringLiteral("Notify"), {QStringLiteral("Pendra"), m.replaces, QString(),
                                                  m.summary, m.body, m.actions, m.hints, int(0)});
        send(call, kNotifyTimeoutMs, [this, ticket](const QDBusMessage& reply) {
            if (!handlers_.notified) {
                return;
            }
            if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
                const QString why =
                    reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
                handlers_.notified(ticket, std::nullopt, why);
                return;
            }
            if (owner_.isEmpty()) {
                owner_ = reply.service();
            }
            handlers_.notified(ticket, reply.arguments().first().toUInt(), QString());
        });
    }

    void close(uint id) override {
        if (bus_.isConnected()) {
            bus_.send(serverCall(QStringLiteral("CloseNotification"), {id}));
        }
    }

private slots:
    void onActionInvoked(uint id, const QString& key, const QDBusMessage& message) {
        if (fromServer(message) && handlers_.actionInvoked) {
            handlers_.actionInvoked(id, key);
        }
    }

    void onNotificationClosed(uint id, uint reason, const QDBusMessage& message) {
        if (fromServer(message) && handlers_.closed) {
            handlers_.closed(id, reason);
        }
    }

private:
    // Sends without waiting; the answer (or the error, also for a bus that is
    // not there) always comes from the event loop, never inside the call.
    void send(const QDBusMessage& m, int timeoutMs,
              std::function<void(const QDBusMessage&)> answered) {
        if (!bus_.isConnected()) {
            QTimer::singleShot(0, this, [answered = std::move(answered)] {
                answered(QDBusMessage::createError(QStringLiteral("org.freedesktop.DBus.Error"),
                                                   QStringLiteral("no session bus")));
            });
            return;
        }
        auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(m, timeoutMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [answered = std::move(answered)](QDBusPendingCallWatcher* w) {
                    w->deleteLater();
                    answered(w->reply());
                });
    }

    bool fromServer(const QDBusMessage& message) const {
        if (owner_.isEmpty() || message.service() != owner_) {
            printLine(QStringLiteral("Ignored a notification signal from ") + message.service() +
                      QStringLiteral(", not the notification server"));
            return false;
        }
        return true;
    }

    QDBusConnection bus_;
    QString owner_;
    Handlers handlers_;
};

}  // namespace

std::unique_ptr<NotificationServer> makeSessionBusNotificationServer() {
    return std::make_unique<SessionBusNotificationServer>();
}

}  // namespace pendra

#include "NotificationServer.moc"

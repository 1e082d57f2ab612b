#include "platform/FreedesktopPresenter.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

#include "platform/Log.h"

namespace pendra {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
constexpr int kCallTimeoutMs = 3000;

QDBusMessage call(const QString& method, const QVariantList& args) {
    QDBusMessage m = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    m.setArguments(args);
    // Never start a server through D-Bus activation behind the user's back
    // (a second dunst, say): only one that runs is asked.
    m.setAutoStartService(false);
    return QDBusConnection::sessionBus().call(m, QDBus::Block, kCallTimeoutMs);
}
}  // namespace

QString escapeNotificationBody(const QString& text) {
    return text.toHtmlEscaped();
}

FreedesktopPresenter::FreedesktopPresenter(QObject* parent) : QObject(parent) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    // Any sender: fromServer() checks it against the name's current owner, so
    // a stray signal from another client is seen and ignored.
    bus.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                SLOT(actionInvoked(uint, QString, QDBusMessage)));
    bus.connect(QString(), kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                SLOT(notificationClosed(uint, uint, QDBusMessage)));
    watcher_ =
        new QDBusServiceWatcher(kService, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                ownerChanged(newOwner);
            });
    if (bus.interface() != nullptr) {
        const QDBusReply<QString> o = bus.interface()->serviceOwner(kService);
        if (o.isValid()) {
            owner_ = o.value();
        }
    }
}

FreedesktopPresenter::~FreedesktopPresenter() = default;

void FreedesktopPresenter::setCallbacks(Callbacks callbacks) {
    callbacks_ = std::move(callbacks);
}

bool FreedesktopPresenter::isAvailable() {
    if (owner_.isEmpty()) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected() || bus.interface() == nullptr) {
            return false;
        }
        const QDBusReply<QString> o = bus.interface()->serviceOwner(kService);
        if (!o.isValid() || o.value().isEmpty()) {
            return false;
        }
        owner_ = o.value();
        hasActions_.reset();
    }
    if (!hasActions_) {
        const QDBusMessage reply = call(QStringLiteral("GetCapabilities"), {});
        hasActions_ = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
                      reply.arguments().first().toStringList().contains(QStringLiteral("actions"));
    }
    return *hasActions_;
}

bool FreedesktopPresenter::tryPresent(const UserNotificationPtr& n) {
    if (!isAvailable()) {
        return false;
    }
    uint replaces = 0;
    for (auto it = shown_.begin(); it != shown_.end(); ++it) {
        if (it.value()->identifier == n->identifier) {
            replaces = it.key();
            break;
        }
    }
    QStringList actions{QStringLiteral("default"), QString()};
    if (n->hasActionButton) {
        actions << QStringLiteral("action") << n->actionButtonTitle;
    }
    actions << QStringLiteral("other") << n->otherButtonTitle;
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(2));
    hints.insert(QStringLiteral("suppress-sound"), true);
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("pendra"));
    const QDBusMessage reply = call(QStringLiteral("Notify"),
                                    {QStringLiteral("Pendra"), replaces, QString(), n->title,
                                     escapeNotificationBody(n->subtitle), actions, hints, int(0)});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        printLine(QStringLiteral("Notification server did not show the notification: ") +
                  reply.errorMessage());
        return false;
    }
    const uint id = reply.arguments().first().toUInt();
    if (replaces != 0 && replaces != id) {
        shown_.remove(replaces);
        closing_.insert(replaces);
    }
    shown_.insert(id, n);
    answered_.remove(id);
    closing_.remove(id);
    return true;
}

void FreedesktopPresenter::withdraw(const UserNotificationPtr& n) {
    for (auto it = shown_.begin(); it != shown_.end();) {
        if (it.value()->identifier == n->identifier) {
            closing_.insert(it.key());
            call(QStringLiteral("CloseNotification"), {it.key()});
            it = shown_.erase(it);
        } else {
            ++it;
        }
    }
}

void FreedesktopPresenter::withdrawAll() {
    const auto ids = shown_.keys();
    for (uint id : ids) {
        closing_.insert(id);
        call(QStringLiteral("CloseNotification"), {id});
    }
    shown_.clear();
}

bool FreedesktopPresenter::fromServer(const QDBusMessage& message) {
    if (owner_.isEmpty() || message.service() != owner_) {
        printLine(QStringLiteral("Ignored a notification signal from ") + message.service() +
                  QStringLiteral(", not the notification server"));
        return false;
    }
    return true;
}

void FreedesktopPresenter::actionInvoked(uint id, const QString& key, const QDBusMessage& message) {
    if (!fromServer(message)) {
        return;
    }
    const UserNotificationPtr n = shown_.value(id);
    if (!n) {
        return;  // someone else's notification
    }
    if (key == QLatin1String("default")) {
        if (callbacks_.activated) {
            callbacks_.activated(n, ActivationType::ContentsClicked);
        }
        return;
    }
    if (key != QLatin1String("action") && key != QLatin1String("other")) {
        printLine(QStringLiteral("Ignored an unknown notification action: ") + key);
        return;
    }
    // Answered: take it off the screen (some servers keep it after an action)
    // and do not read the close that follows as a second answer.
    answered_.insert(id);
    shown_.remove(id);
    call(QStringLiteral("CloseNotification"), {id});
    if (key == QLatin1String("action")) {
        if (callbacks_.activated) {
            callbacks_.activated(n, ActivationType::ActionButtonClicked);
        }
    } else if (callbacks_.dismissed) {
        callbacks_.dismissed(n);
    }
}

void FreedesktopPresenter::notificationClosed(uint id, uint reason, const QDBusMessage& message) {
    if (!fromServer(message)) {
        return;
    }
    if (answered_.remove(id) || closing_.remove(id)) {
        return;
    }
    const UserNotificationPtr n = shown_.take(id);
    if (!n) {
        return;
    }
    if (reason == 2) {  // dismissed by the user
        if (callbacks_.dismissed) {
            callbacks_.dismissed(n);
        }
        return;
    }
    // Expired or closed by someone else: still unanswered.
    if (onLost) {
        onLost(n);
    }
}

void FreedesktopPresenter::ownerChanged(const QString& newOwner) {
    owner_ = newOwner;
    hasActions_.reset();
    // The old server's notifications are gone with it; show them again.
    const auto lost = shown_.values();
    shown_.clear();
    answered_.clear();
    closing_.clear();
    for (const auto& n : lost) {
        if (!tryPresent(n) && onLost) {
            onLost(n);
        }
    }
}

}  // namespace pendra

#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

namespace pendra {

// The calls Pendra makes to a desktop notification server. Every call
// returns at once; its answer, if one ever comes, arrives later through the
// handlers on the main thread. A server that hangs therefore holds up neither
// a ring nor the user interface.
class NotificationServer {
public:
    struct Message {
        uint replaces = 0;
        QString summary;
        QString body;
        QStringList actions;  // key, label, key, label, ...
        QVariantMap hints;
    };
    struct Handlers {
        // The server's capabilities, or nullopt when it could not be asked.
        std::function<void(std::optional<QStringList>)> capabilities;
        // The server's id for the notification sent with `ticket`, or nullopt
        // and the error.
        std::function<void(quint64 ticket, std::optional<uint> id, const QString& error)> notified;
        // Signals, only from the server that owns the name.
        std::function<void(uint id, const QString& key)> actionInvoked;
        std::function<void(uint id, uint reason)> closed;
        // A server took the name, or the one there left it (present false).
        std::function<void(bool present)> ownerChanged;
    };

    virtual ~NotificationServer() = default;
    virtual void setHandlers(Handlers handlers) = 0;
    virtual void getCapabilities() = 0;
    virtual void notify(quint64 ticket, const Message& message) = 0;
    // No answer is awaited; a NotificationClosed signal may follow.
    virtual void close(uint id) = 0;
};

// org.freedesktop.Notifications on the session bus.
std::unique_ptr<NotificationServer> makeSessionBusNotificationServer();

}  // namespace pendra

#pragma once

#include <QDBusMessage>
#include <QHash>
#include <QObject>
#include <QSet>
#include <functional>

#include "platform/NotificationPresenter.h"

class QDBusServiceWatcher;

namespace pendra {

// Markup-escaped body text: the server shows exactly what the user typed.
QString escapeNotificationBody(const QString& text);

// Presents through org.freedesktop.Notifications on the session bus.
class FreedesktopPresenter : public QObject, public NotificationPresenter {
    Q_OBJECT
public:
    explicit FreedesktopPresenter(QObject* parent = nullptr);
    ~FreedesktopPresenter() override;

    // A server owns the name and offers actions (buttons).
    bool isAvailable();

    void setCallbacks(Callbacks callbacks) override;
    // Shows it; false when the server could not (the caller falls back).
    bool tryPresent(const UserNotificationPtr& n);
    void present(const UserNotificationPtr& n) override { tryPresent(n); }
    void withdraw(const UserNotificationPtr& n) override;
    void withdrawAll() override;

    // Called for a notification the server took off the screen without an
    // answer (or lost in a restart): it must be shown some other way.
    std::function<void(const UserNotificationPtr&)> onLost;

private slots:
    void actionInvoked(uint id, const QString& key, const QDBusMessage& message);
    void notificationClosed(uint id, uint reason, const QDBusMessage& message);

private:
    bool fromServer(const QDBusMessage& message);
    void ownerChanged(const QString& newOwner);

    Callbacks callbacks_;
    QString owner_;
    std::optional<bool> hasActions_;
    QHash<uint, UserNotificationPtr> shown_;
    QSet<uint> answered_;
    QSet<uint> closing_;
    QDBusServiceWatcher* watcher_ = nullptr;
};

}  // namespace pendra

#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "platform/NotificationPresenter.h"
#include "platform/NotificationServer.h"

class QTimer;

namespace pendra {

// Markup-escaped body text: the server shows exactly what the user typed.
QString escapeNotificationBody(const QString& text);

// Presents through a desktop notification server without ever waiting for
// it. A notification the server has not shown within `answerWithin` (a
// healthy server answers in milliseconds; the default leaves room for the
// alert window to be on screen within a second) counts as one it cannot show: it goes to onLost,
// and should the server show it after all, it is closed again at once, so each alert has exactly
// one place where the user answers it.
class FreedesktopPresenter : public QObject, public NotificationPresenter {
    Q_OBJECT
public:
    explicit FreedesktopPresenter(
        std::unique_ptr<NotificationServer> server = makeSessionBusNotificationServer(),
        std::chrono::milliseconds answerWithin = std::chrono::milliseconds(800),
        QObject* parent = nullptr);
    ~FreedesktopPresenter() override;

    void setCallbacks(Callbacks callbacks) override;
    void present(const UserNotificationPtr& n) override;
    void withdraw(const UserNotificationPtr& n) override;
    void withdrawAll() override;

    // Called with a notification the server cannot show (none there, no
    // buttons, an error, no answer in time) or took off the screen without an
    // answer: it must be shown some other way.
    std::function<void(const UserNotificationPtr&)> onLost;

private:
    struct Request {
        UserNotificationPtr notification;
        uint replaces = 0;
        QTimer* deadline = nullptr;
    };

    void send(quint64 ticket);
    void lose(quint64 ticket);
    void abandon(quint64 ticket);
    void abandonPending(const QString& identifier);
    void capabilitiesAnswered(std::optional<QStringList> capabilities);
    void notified(quint64 ticket, std::optional<uint> id, const QString& error);
    void actionInvoked(uint id, const QString& key);
    void closed(uint id, uint reason);
    void ownerChanged(bool serverThere);
    void closeOnServer(uint id);

    std::unique_ptr<NotificationServer> server_;
    std::chrono::milliseconds answerWithin_;
    Callbacks callbacks_;
    std::optional<bool> hasActions_;
    bool askingCapabilities_ = false;
    // A request went unanswered and nothing has been heard since: new alerts
    // go elsewhere at once instead of waiting out the deadline again.
    bool stalled_ = false;
    quint64 nextTicket_ = 1;
    QHash<quint64, Request> pending_;
    QHash<uint, UserNotificationPtr> shown_;
    // Ids closed by us or already answered: their close is no answer.
    QSet<uint> closing_;
};

}  // namespace pendra

#pragma once

#include <QString>
#include <optional>

#include "platform/UserNotification.h"

namespace pendra {

class UserNotificationCenter;

// The kind of a notification: the text of its identifier before the first
// "-"; none when there is no "-".
inline std::optional<QString> notificationKind(const QString& identifier) {
    const qsizetype dash = identifier.indexOf(QLatin1Char('-'));
    if (dash < 0) {
        return std::nullopt;
    }
    return identifier.left(dash);
}

// A panel that owns notifications of one kind (the text before the first "-"
// of their identifiers) and handles their callbacks.
class NotificationReceiver {
public:
    virtual ~NotificationReceiver() = default;
    virtual void notificationDidDeliver(UserNotificationCenter& center,
                                        const UserNotificationPtr& n) = 0;
    virtual void notificationDidActivate(UserNotificationCenter& center,
                                         const UserNotificationPtr& n) = 0;
    virtual void notificationDidDismissAlert(UserNotificationCenter& center,
                                             const UserNotificationPtr& n) = 0;
    // Whether a notification about to be delivered is shown at all.
    virtual bool notificationShouldPresent(const UserNotificationPtr&) { return true; }
    // One of this panel's scheduled notifications comes due in a few seconds.
    virtual void notificationWillDeliver(UserNotificationCenter&, const UserNotificationPtr&) {}
};

}  // namespace pendra

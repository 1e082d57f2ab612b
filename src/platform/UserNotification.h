#pragma once

#include <QDateTime>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <optional>

namespace pendra {

// How the user answered a notification.
enum class ActivationType {
    None = 0,
    ContentsClicked = 1,
    ActionButtonClicked = 2,
};

// One notification. Handled by shared pointer: the panels keep the very object
// they scheduled and hand it back to the center to remove it.
struct UserNotification {
    QString identifier;
    QString title;
    QString subtitle;
    std::optional<QDateTime> deliveryDate;  // local wall time; empty: deliver at once / never
    bool hasActionButton = true;
    QString actionButtonTitle;
    QString otherButtonTitle;
    int deliveryRepeatIntervalDays = 0;  // 0: no repeat; 7: same local wall time each week
    // The wall time the repeats keep, when the first date had to leave it (a
    // daylight-saving gap); invalid: the first date's own time.
    QTime repeatWallTime;
    // Set by the center as it delivers a scheduled notification: the date
    // that came due, which may lie well before the delivery (a suspend, a
    // clock set forwards) and before a repeat's next deliveryDate.
    std::optional<QDateTime> dueDate;
    ActivationType activationType = ActivationType::None;
    // The owner's own data; never shown.
    QVariantMap userInfo;
};

using UserNotificationPtr = std::shared_ptr<UserNotification>;

inline UserNotificationPtr makeNotification(UserNotification n = {}) {
    return std::make_shared<UserNotification>(std::move(n));
}

}  // namespace pendra

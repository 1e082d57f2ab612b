#pragma once

#include <QDateTime>
#include <QString>
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
    ActivationType activationType = ActivationType::None;
};

using UserNotificationPtr = std::shared_ptr<UserNotification>;

inline UserNotificationPtr makeNotification(UserNotification n = {}) {
    return std::make_shared<UserNotification>(std::move(n));
}

}  // namespace pendra

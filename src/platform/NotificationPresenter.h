#pragma once

#include <functional>

#include "platform/UserNotification.h"

namespace pendra {

// Shows delivered notifications to the user and reports the answers. The
// center owns one; it decides nothing about scheduling.
class NotificationPresenter {
public:
    struct Callbacks {
        // The user clicked the body (ContentsClicked) or the action button.
        std::function<void(const UserNotificationPtr&, ActivationType)> activated;
        // The user closed it with the other button, or dismissed it.
        std::function<void(const UserNotificationPtr&)> dismissed;
    };

    virtual ~NotificationPresenter() = default;
    virtual void setCallbacks(Callbacks callbacks) = 0;
    virtual void present(const UserNotificationPtr& n) = 0;
    // Takes it off the screen, with no callback.
    virtual void withdraw(const UserNotificationPtr& n) = 0;
    virtual void withdrawAll() = 0;
};

}  // namespace pendra

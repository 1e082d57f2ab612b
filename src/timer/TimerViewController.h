#pragma once

#include "common/NotificationReceiver.h"
#include "common/Panel.h"

namespace pendra {

class UserNotificationCenter;

class TimerViewController : public Panel, public NotificationReceiver {
    Q_OBJECT
public:
    explicit TimerViewController(UserNotificationCenter& center, QWidget* parent = nullptr);
    ~TimerViewController() override;

    void viewDidLoad() override;
    void viewDidAppear() override;

    void notificationDidDeliver(UserNotificationCenter& center,
                                const UserNotificationPtr& n) override;
    void notificationDidActivate(UserNotificationCenter& center,
                                 const UserNotificationPtr& n) override;
    void notificationDidDismissAlert(UserNotificationCenter& center,
                                     const UserNotificationPtr& n) override;

private:
    UserNotificationCenter& notificationCenter;
};

}  // namespace pendra

#include "alarms/AlarmViewController.h"

namespace pendra {

AlarmViewController::AlarmViewController(UserNotificationCenter& center, QWidget* parent)
    : Panel(parent), notificationCenter(center) {}

AlarmViewController::~AlarmViewController() = default;

void AlarmViewController::viewDidLoad() {}
void AlarmViewController::viewDidAppear() {}
void AlarmViewController::notificationDidDeliver(UserNotificationCenter&, const UserNotificationPtr&) {}
void AlarmViewController::notificationDidActivate(UserNotificationCenter&, const UserNotificationPtr&) {}
void AlarmViewController::notificationDidDismissAlert(UserNotificationCenter&, const UserNotificationPtr&) {}

}  // namespace pendra

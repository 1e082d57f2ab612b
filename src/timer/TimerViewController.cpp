#include "timer/TimerViewController.h"

namespace pendra {

TimerViewController::TimerViewController(UserNotificationCenter& center, QWidget* parent)
    : Panel(parent), notificationCenter(center) {}

TimerViewController::~TimerViewController() = default;

void TimerViewController::viewDidLoad() {}
void TimerViewController::viewDidAppear() {}
void TimerViewController::notificationDidDeliver(UserNotificationCenter&, const UserNotificationPtr&) {}
void TimerViewController::notificationDidActivate(UserNotificationCenter&, const UserNotificationPtr&) {}
void TimerViewController::notificationDidDismissAlert(UserNotificationCenter&, const UserNotificationPtr&) {}

}  // namespace pendra

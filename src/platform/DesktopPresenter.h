#pragma once

#include <memory>

#include "platform/NotificationPresenter.h"

namespace pendra {

// The desktop's notification server (org.freedesktop.Notifications) when it
// offers actions, else the program's own alert window; a notification the
// server loses moves to the alert window, so a ringing alert can always be
// answered.
std::unique_ptr<NotificationPresenter> makeDesktopPresenter();

}  // namespace pendra

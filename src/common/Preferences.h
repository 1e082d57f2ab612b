#pragma once

#include <QString>

#include "platform/UserDefaults.h"

namespace pendra {

// Whether times show on the 24-hour clock. The shell writes it from the
// desktop's clock format when the popover shows; panels and the tray read it.
inline const QString do24HourTimeKey = QStringLiteral("com.Zentho.Do24HourTime");

inline bool do24HourTimePreference(UserDefaults& defaults = UserDefaults::standard()) {
    return defaults.boolForKey(do24HourTimeKey);
}

}  // namespace pendra
